// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/faults/faultfixture.h"

#include <optional>

using Frames::command;
using Frames::hex;
using Fault = ValidatorLine::Fault;

namespace {

const QString noResponse = QStringLiteral("       NO RESPONSE!  TIMEOUT");
// The reply with the stacked report of a note of channel 3 (value 5), and the idle reply after it.
const QString stackedLine = QStringLiteral(" 02 0B 21 11 00 18 00 00 00 03 23     3 STD");
const QString idleLine = QStringLiteral(" 02 0B 20 01 00 00 00 00 00 03 2A          ");

struct FaultCase
{
    const char *name;
    std::optional<Fault> fault;
    int repliesAtOnce; // replies the validator writes in full for the spoilt send
    QString rowAtOnce; // the reply column of that send's row before the next send
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
    EXPECT_EQ(model.log().reply(0), " 02 0B 20 01 00 01 00 00 00 03 2B       PWR");

    ASSERT_TRUE(engine.insertNote(3));
    // Accepting, accepted, escrowed; then the host's stack request, reported stacking.
    for (const QByteArray &frame :
         {command(0x11), command(0x10), command(0x11), command(0x10, 0x7F, 0x30)})
        ASSERT_EQ(exchange(), frame);
    const int spoiltRow = model.log().logRow();

    const int repliesBefore = repliesSent();
    if (c.fault)
        validator->line.inject(*c.fault);
    ASSERT_EQ(poll(), command(0x11));
    ASSERT_TRUE(settle(repliesBefore + c.repliesAtOnce));
    EXPECT_EQ(model.log().reply(spoiltRow), c.rowAtOnce);
    EXPECT_EQ(model.panel().lastEvent, c.repeated ? " " : " STACKED 5");
    EXPECT_EQ(tallyTotal(), c.repeated ? 0 : 1);

    const QByteArray next = poll();
    EXPECT_EQ(next, command(c.repeated ? 0x11 : 0x10));
    ASSERT_TRUE(settle(repliesBefore + c.repliesAtOnce + c.repliesForNext));
    EXPECT_EQ(model.log().sent(spoiltRow + 1),
              c.repeated ? " 02 08 11 7F 10 00 03 76    " : " 02 08 10 7F 10 00 03 77    ");
    EXPECT_EQ(model.log().reply(spoiltRow), c.repeated ? noResponse : stackedLine);
    EXPECT_EQ(model.log().reply(spoiltRow + 1), c.repeated ? stackedLine : idleLine);
    EXPECT_EQ(model.panel().lastEvent, c.repeated ? " STACKED 5" : " ");
    EXPECT_EQ(model.tally().quantity(2), "1");

    EXPECT_EQ(exchange(), command(c.repeated ? 0x10 : 0x11));
    EXPECT_EQ(lastReplyRow(), c.repeated ? idleLine : " 02 0B 21 01 00 00 00 00 00 03 2B          ");
    EXPECT_EQ(tallyTotal(), 1);
    EXPECT_EQ(engine.stacked(), 1);
    EXPECT_TRUE(model.panel().runSwitch);
    EXPECT_TRUE(validator->junk.isEmpty()) << "the host wrote only whole frames";
    EXPECT_EQ(unread(), 0) << "nothing is left on the line";
}

INSTANTIATE_TEST_SUITE_P(
        EndToEnd, LineFaults,
        testing::Values(FaultCase{"NoFault", std::nullopt, 1, stackedLine, false, 1},
                        FaultCase{"StrayByteBeforeTheReply", Fault::Garbage, 1, {}, true, 1},
                        FaultCase{"ReplyInTwoPieces", Fault::Split, 1, stackedLine, false, 1},
                        FaultCase{"BytesAfterTheReply", Fault::Extra, 1, stackedLine, false, 1},
                        FaultCase{"BadChecksum", Fault::Corrupt, 1, noResponse, true, 1},
                        FaultCase{"DroppedReply", Fault::Drop, 0, {}, true, 1},
                        FaultCase{"LateReply", Fault::Late, 0, {}, true, 2}),
        [](const testing::TestParamInfo<FaultCase> &info) { return info.param.name; });

// At the line's pace: the host reads eleven bytes that do not start a reply, and the rest of
// that transmission comes 6 ms later. The pause after the bad start byte outlasts it, so the
// rest goes with the start, nothing of it reaches the log, and the answer to the repeat is read
// whole.
TEST_F(FaultFixture, TheRestOfAGarbledTransmissionGoesWithItsStart)
{
    ASSERT_TRUE(startRun());
    validator->line.setFast(false);
    validator->line.inject(Fault::Split);
    QSignalSpy written(&validator->line, &ValidatorLine::sent);
    model.SendCommand();
    validator->pty.write(hex("55 55 55 55 55 55 55")); // and the reply's first four bytes
    // Waited for in the event loop itself, so that its timers run at the line's pace.
    while (written.size() < 2)
        ASSERT_TRUE(written.wait(patience));
    ASSERT_TRUE(settle(repliesSent()));
    EXPECT_EQ(unread(), 0);
    EXPECT_EQ(lastReplyRow(), "");

    ASSERT_EQ(exchange(), command(0x11));
    EXPECT_EQ(model.log().reply(model.log().logRow() - 2), noResponse);
    EXPECT_EQ(lastReplyRow(), " 02 0B 21 01 00 00 00 00 00 03 2B          ");
    EXPECT_EQ(tallyTotal(), 0);
}

} // namespace
