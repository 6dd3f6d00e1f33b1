#include "faultfixture.h"

#include <optional>
#include <ostream>

using Frames::command;
using Frames::hex;

namespace {

const QString noResponse = QStringLiteral("       NO RESPONSE!  TIMEOUT");
// The reply with the stacked report of a note of channel 3 (value 5), and the idle reply after it.
const QString stackedLine = QStringLiteral(" 02 0B 21 11 00 18 00 00 00 03 23     3 STD");
const QString idleLine = QStringLiteral(" 02 0B 20 01 00 00 00 00 00 03 2A          ");

enum class RowShows { Nothing, NoResponse, Reply };

struct FaultCase
{
    const char *name;
    std::optional<ValidatorLine::Fault> fault;
    int repliesAtOnce; // replies the validator writes in full for the spoilt send
    RowShows rowAtOnce; // the reply column of that send's row before the next send
    bool repeated; // the next send repeats the frame; the stacked report waits for it
    int repliesForNext; // replies written for the next send
};

void PrintTo(const FaultCase &c, std::ostream *out)
{
    *out << c.name;
}

class LineFaults : public FaultFixture, public testing::WithParamInterface<FaultCase>
{ };

// A note of channel 3 is inserted, escrowed, stacked on the host's request and reported
// stacked; the fault spoils the reply that reports it.
TEST_P(LineFaults, TheStackedNoteIsCountedOnceAndPollingGoesOn)
{
    const FaultCase &c = GetParam();
    ASSERT_TRUE(startRun());
    EXPECT_EQ(validator->frames.first(), command(0x10));
    EXPECT_EQ(model.log().reply(0), row(hex("02 0B 20 01 00 01 00 00 00 03 2B"), "      PWR"));

    ASSERT_TRUE(engine.insertNote(3));
    const std::tuple<QByteArray, const char *, const char *, const char *> steps[] = {
            {command(0x11), "   ", "02 0B 21 02 00 18 00 00 00 03 30", "ACC 3    "},
            {command(0x10), "   ", "02 0B 20 02 00 18 00 00 00 03 31", "ACC 3    "},
            {command(0x11), "   ", "02 0B 21 04 00 18 00 00 00 03 36", "ESC 3    "},
            {command(0x10, 0x7F, 0x30), "STK", "02 0B 20 08 00 18 00 00 00 03 3B", "STK 3    "}};
    for (const auto &[frame, frameTag, reply, replyTags] : steps) {
        const int replies = repliesSent() + 1;
        ASSERT_EQ(poll(), frame);
        ASSERT_TRUE(settle(replies));
        ASSERT_EQ(model.log().sent(logRow() - 1), row(frame, frameTag));
        ASSERT_EQ(lastReplyRow(), row(hex(reply), replyTags));
    }
    const int spoiltRow = logRow();

    const int repliesBefore = repliesSent();
    if (c.fault)
        validator->line.inject(*c.fault);
    const QByteArray spoilt = poll();
    ASSERT_EQ(spoilt, command(0x11));
    ASSERT_TRUE(settle(repliesBefore + c.repliesAtOnce));
    EXPECT_EQ(repliesSent(), repliesBefore + c.repliesAtOnce);
    const QString atOnce = c.rowAtOnce == RowShows::Reply        ? stackedLine
                           : c.rowAtOnce == RowShows::NoResponse ? noResponse
                                                                 : QString();
    EXPECT_EQ(model.log().reply(spoiltRow), atOnce);
    EXPECT_EQ(model.panel().lastEvent, c.repeated ? " " : " STACKED 5");
    EXPECT_EQ(tallyTotal(), c.repeated ? 0 : 1);

    const QByteArray next = poll();
    EXPECT_EQ(next, c.repeated ? spoilt : command(0x10));
    ASSERT_TRUE(settle(repliesBefore + c.repliesAtOnce + c.repliesForNext));
    EXPECT_EQ(model.log().sent(spoiltRow + 1), row(next, "   "));
    EXPECT_EQ(model.log().reply(spoiltRow), c.repeated ? noResponse : stackedLine);
    EXPECT_EQ(model.log().reply(spoiltRow + 1), c.repeated ? stackedLine : idleLine);
    EXPECT_EQ(model.panel().lastEvent, c.repeated ? " STACKED 5" : " ");
    EXPECT_EQ(tallyTotal(), 1);
    EXPECT_EQ(model.tally().quantity(2), "1");
    EXPECT_EQ(model.tally().amount(NoteTally::totalRow), "5");

    // Polling goes on with the next frame in the sequence.
    const int repliesAfter = repliesSent() + 1;
    EXPECT_EQ(poll(), command(c.repeated ? 0x10 : 0x11));
    ASSERT_TRUE(settle(repliesAfter));
    EXPECT_EQ(lastReplyRow(), c.repeated ? idleLine : " 02 0B 21 01 00 00 00 00 00 03 2B          ");
    EXPECT_EQ(tallyTotal(), 1);
    EXPECT_EQ(engine.stacked(), 1);
    EXPECT_TRUE(model.panel().runSwitch);
    EXPECT_EQ(portFailed.count(), 0);
    EXPECT_TRUE(validator->junk.isEmpty()) << "the host wrote only whole frames";
    EXPECT_EQ(unread(), 0) << "nothing is left on the line";
}

INSTANTIATE_TEST_SUITE_P(
        EndToEnd, LineFaults,
        testing::Values(FaultCase{"NoFault", std::nullopt, 1, RowShows::Reply, false, 1},
                        FaultCase{"StrayByteBeforeTheReply", ValidatorLine::Fault::Garbage, 1,
                                  RowShows::Nothing, true, 1},
                        FaultCase{"ReplyInTwoPieces", ValidatorLine::Fault::Split, 1,
                                  RowShows::Reply, false, 1},
                        FaultCase{"BytesAfterTheReply", ValidatorLine::Fault::Extra, 1,
                                  RowShows::Reply, false, 1},
                        FaultCase{"BadChecksum", ValidatorLine::Fault::Corrupt, 1,
                                  RowShows::NoResponse, true, 1},
                        FaultCase{"DroppedReply", ValidatorLine::Fault::Drop, 0, RowShows::Nothing,
                                  true, 1},
                        FaultCase{"LateReplyAfterTheNextCommand", ValidatorLine::Fault::Late, 0,
                                  RowShows::Nothing, true, 2}),
        [](const testing::TestParamInfo<FaultCase> &info) { return info.param.name; });

// At the line's pace: the host reads eleven bytes that do not start a reply, and the rest of
// that transmission comes 6 ms later. The pause after the bad start byte outlasts it, so the
// rest goes with the start, nothing of it reaches the log, and the answer to the repeat is read
// whole.
TEST_F(FaultFixture, TheRestOfAGarbledTransmissionGoesWithItsStart)
{
    ASSERT_TRUE(startRun());
    validator->line.setFast(false);
    validator->line.inject(ValidatorLine::Fault::Split);
    QSignalSpy written(&validator->line, &ValidatorLine::sent);
    model.SendCommand();
    validator->pty.write(hex("55 55 55 55 55 55 55")); // and the reply's first four bytes
    // Waited for in the event loop itself, so that its timers run at the line's pace.
    while (written.size() < 2)
        ASSERT_TRUE(written.wait(patience));
    ASSERT_TRUE(settle(repliesSent()));
    EXPECT_EQ(unread(), 0);
    EXPECT_EQ(lastReplyRow(), "");

    const int replies = repliesSent() + 1;
    ASSERT_EQ(poll(), command(0x11));
    ASSERT_TRUE(settle(replies));
    EXPECT_EQ(model.log().reply(logRow() - 2), noResponse);
    EXPECT_EQ(lastReplyRow(), " 02 0B 21 01 00 00 00 00 00 03 2B          ");
    EXPECT_EQ(tallyTotal(), 0);
}

} // namespace
