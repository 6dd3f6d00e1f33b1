#include "expectedlines.h"
#include "faultfixture.h"

#include <QRandomGenerator>

#include <optional>
#include <ostream>

namespace {

using ExpectedLines::noResponse;
using ExpectedLines::validatorReply;

constexpr int stackRequest = 0x30; // escrow enabled and stack the escrowed note

// The host's frame with every channel enabled and escrow on.
QByteArray command(int ack, int data1 = 0x10)
{
    const int control = 0x10 | ack;
    const char bytes[] = {0x02,        0x08, char(control), 0x7F,
                          char(data1), 0x00, 0x03,          char(0x08 ^ control ^ 0x7F ^ data1)};
    return QByteArray(bytes, sizeof bytes);
}

// The conversation from the run start to the stacked report of a note of channel 3 (value 5).
const QByteArray powerUp = validatorReply(0, 0x01, 0x00, 0x01);
const QByteArray accepting1 = validatorReply(1, 0x02, 0x00, 0x18);
const QByteArray accepting2 = validatorReply(0, 0x02, 0x00, 0x18);
const QByteArray escrowed = validatorReply(1, 0x04, 0x00, 0x18);
const QByteArray stacking = validatorReply(0, 0x08, 0x00, 0x18);
const QByteArray stacked = validatorReply(1, 0x11, 0x00, 0x18);
const QByteArray idle = validatorReply(0, 0x01, 0x00, 0x00);

QString stackedLine()
{
    return ExpectedLines::reply(stacked, "   ", '3', "STD");
}

enum class RowShows { Nothing, NoResponse, Reply };

struct FaultCase
{
    const char *name;
    std::optional<ValidatorLine::Fault> fault;
    int repliesAtOnce; // replies the validator writes in full for the spoilt send
    RowShows rowAtOnce; // the reply column of that send's row before the next send
    bool shownAtOnce; // the stacked event reaches the displays before the next send
    int countedAtOnce;
    bool repeated; // the next send repeats the frame
    int repliesForNext; // replies written for the next send
};

void PrintTo(const FaultCase &c, std::ostream *out)
{
    *out << c.name;
}

class LineFaults : public FaultFixture, public testing::WithParamInterface<FaultCase>
{ };

using LineFaultsByHand = FaultFixture;

// A note of channel 3 is inserted, escrowed, stacked on the host's request and reported
// stacked; the fault spoils the reply that reports it.
TEST_P(LineFaults, TheStackedNoteIsCountedOnceAndPollingGoesOn)
{
    const FaultCase &c = GetParam();
    ASSERT_TRUE(startRun());
    EXPECT_EQ(frames.first(), command(0));
    EXPECT_EQ(model.log().reply(0), ExpectedLines::reply(powerUp, "   ", ' ', "PWR"));

    ASSERT_TRUE(engine.insertNote(3));
    struct Step
    {
        QByteArray frame;
        const char *frameTag;
        QByteArray reply;
        const char *stateTag;
    };
    const Step steps[] = {{command(1), "   ", accepting1, "ACC"},
                          {command(0), "   ", accepting2, "ACC"},
                          {command(1), "   ", escrowed, "ESC"},
                          {command(0, stackRequest), "STK", stacking, "STK"}};
    for (const Step &step : steps) {
        const int replies = repliesSent() + 1;
        ASSERT_EQ(poll(), step.frame);
        ASSERT_TRUE(settle(replies));
        ASSERT_EQ(model.log().sent(logRow() - 1), ExpectedLines::sent(step.frame, step.frameTag));
        ASSERT_EQ(lastReplyRow(), ExpectedLines::reply(step.reply, step.stateTag, '3', "   "));
    }
    const int spoiltRow = logRow();

    const int repliesBefore = repliesSent();
    if (c.fault)
        validator->inject(*c.fault);
    const QByteArray spoilt = poll();
    ASSERT_EQ(spoilt, command(1));
    ASSERT_TRUE(settle(repliesBefore + c.repliesAtOnce));
    EXPECT_EQ(repliesSent(), repliesBefore + c.repliesAtOnce);
    const QString atOnce = c.rowAtOnce == RowShows::Reply        ? stackedLine()
                           : c.rowAtOnce == RowShows::NoResponse ? noResponse()
                                                                 : QString();
    EXPECT_EQ(model.log().reply(spoiltRow), atOnce);
    EXPECT_EQ(model.panel().lastEvent, c.shownAtOnce ? " STACKED 5" : " ");
    EXPECT_EQ(tallyTotal(), c.countedAtOnce);

    const QByteArray next = poll();
    EXPECT_EQ(next, c.repeated ? spoilt : command(0));
    ASSERT_TRUE(settle(repliesBefore + c.repliesAtOnce + c.repliesForNext));
    EXPECT_EQ(model.log().sent(spoiltRow + 1), ExpectedLines::sent(next));
    if (c.repeated) {
        EXPECT_EQ(model.log().reply(spoiltRow), noResponse());
        EXPECT_EQ(model.log().reply(spoiltRow + 1), stackedLine());
        EXPECT_EQ(model.panel().lastEvent, " STACKED 5");
    } else {
        EXPECT_EQ(model.log().reply(spoiltRow), stackedLine());
        EXPECT_EQ(model.log().reply(spoiltRow + 1), ExpectedLines::reply(idle, "   ", ' ', "   "));
    }
    EXPECT_EQ(tallyTotal(), 1);
    EXPECT_EQ(model.tally().quantity(2), "1");
    EXPECT_EQ(model.tally().amount(NoteTally::totalRow), "5");

    // Polling goes on with the next frame in the sequence.
    const int ack = c.repeated ? 0 : 1;
    const int repliesAfter = repliesSent() + 1;
    EXPECT_EQ(poll(), command(ack));
    ASSERT_TRUE(settle(repliesAfter));
    EXPECT_EQ(lastReplyRow(),
              ExpectedLines::reply(validatorReply(ack, 0x01, 0, 0), "   ", ' ', "   "));
    EXPECT_EQ(tallyTotal(), 1);
    EXPECT_EQ(engine.stacked(), 1);
    EXPECT_TRUE(model.panel().runSwitch);
    EXPECT_EQ(portFailed.count(), 0);
    EXPECT_TRUE(junk.isEmpty()) << "the host wrote only whole frames";
    EXPECT_EQ(unread(), 0) << "nothing is left on the line";
}

INSTANTIATE_TEST_SUITE_P(
        EndToEnd, LineFaults,
        testing::Values(FaultCase{"NoFault", std::nullopt, 1, RowShows::Reply, true, 1, false, 1},
                        FaultCase{"StrayByteBeforeTheReply", ValidatorLine::Fault::Garbage, 1,
                                  RowShows::Nothing, false, 0, true, 1},
                        FaultCase{"ReplyInTwoPieces", ValidatorLine::Fault::Split, 1,
                                  RowShows::Reply, true, 1, false, 1},
                        FaultCase{"BytesAfterTheReply", ValidatorLine::Fault::Extra, 1,
                                  RowShows::Reply, true, 1, false, 1},
                        FaultCase{"BadChecksum", ValidatorLine::Fault::Corrupt, 1,
                                  RowShows::NoResponse, false, 0, true, 1},
                        FaultCase{"DroppedReply", ValidatorLine::Fault::Drop, 0, RowShows::Nothing,
                                  false, 0, true, 1},
                        FaultCase{"LateReplyAfterTheNextCommand", ValidatorLine::Fault::Late, 0,
                                  RowShows::Nothing, false, 0, true, 2}),
        [](const testing::TestParamInfo<FaultCase> &info) { return info.param.name; });

// The late reply is read before the validator's answer to the repeated frame comes: both are
// good replies to one send, and the note they report is counted once.
TEST_F(LineFaultsByHand, ALateReplyAndTheAnswerToTheRepeatCountTheNoteOnce)
{
    ASSERT_TRUE(startRun());
    ASSERT_TRUE(engine.insertNote(3));
    for (int i = 0; i < 4; ++i) {
        const int replies = repliesSent() + 1;
        ASSERT_FALSE(poll().isEmpty());
        ASSERT_TRUE(settle(replies));
    }
    const int replies = repliesSent();
    validator->inject(ValidatorLine::Fault::Late);
    const QByteArray frame = poll();
    ASSERT_EQ(frame, command(1));
    ASSERT_TRUE(settle(replies));

    // The repeat brings the late reply out; the answer to the repeat is held back by the line
    // and delivered by hand once the late one has been handled.
    validator->inject(ValidatorLine::Fault::Drop);
    ASSERT_EQ(poll(), frame);
    ASSERT_TRUE(settle(replies + 1));
    const int row = logRow() - 1;
    EXPECT_EQ(model.log().reply(row - 1), noResponse());
    EXPECT_EQ(model.log().reply(row), stackedLine());
    EXPECT_EQ(tallyTotal(), 1);
    const QByteArray answer = engine.answer(frame);
    ASSERT_EQ(answer, stacked);
    const QSignalSpy logged(&model, &TesterModel::logChanged);
    pty->write(answer);
    ASSERT_TRUE(waitUntil([&] { return logged.count() == 1; }));
    EXPECT_EQ(model.log().reply(row), stackedLine());
    EXPECT_EQ(tallyTotal(), 1);
    EXPECT_EQ(engine.stacked(), 1);

    ASSERT_EQ(poll(), command(0));
    ASSERT_TRUE(settle(replies + 2));
    EXPECT_EQ(lastReplyRow(), ExpectedLines::reply(idle, "   ", ' ', "   "));
    EXPECT_EQ(tallyTotal(), 1);
}

using LineNoise = FaultFixture;

// Line noise between two polls: the host discards it after its pause and leaves the log, the
// displays, the tally and the acknowledge sequence as they were.
TEST_F(LineNoise, ABurstOfGarbageIsDiscardedAndTheNextFrameIsBuiltAsUsual)
{
    ASSERT_TRUE(startRun());
    int replies = repliesSent() + 1;
    ASSERT_EQ(poll(), command(1));
    ASSERT_TRUE(settle(replies));
    const TrafficLog logBefore = model.log();
    const PanelState panelBefore = model.panel();

    // No start byte anywhere in it, so no part of it can pass for a reply.
    QRandomGenerator random(7);
    QByteArray burst(64, '\0');
    for (char &byte : burst)
        byte = char(0x03 + random.bounded(0xFD));
    pty->write(burst);
    ASSERT_TRUE(waitUntil([&] { return model.resyncPending(); })) << "the host pauses";
    ASSERT_TRUE(settle(replies));

    for (int row = 0; row < TrafficLog::rows; ++row) {
        EXPECT_EQ(model.log().sent(row), logBefore.sent(row));
        EXPECT_EQ(model.log().reply(row), logBefore.reply(row));
    }
    EXPECT_EQ(model.panel().validatorState, panelBefore.validatorState);
    EXPECT_EQ(model.panel().lastEvent, panelBefore.lastEvent);
    EXPECT_TRUE(model.members().replyReceived);
    EXPECT_EQ(tallyTotal(), 0);
    EXPECT_EQ(unread(), 0) << "the pause ends by emptying the port";

    ASSERT_EQ(poll(), command(0));
    ASSERT_TRUE(settle(++replies));
    EXPECT_EQ(lastReplyRow(), ExpectedLines::reply(idle, "   ", ' ', "   "));
    EXPECT_TRUE(model.panel().runSwitch);
}

// A reply that trickles in byte by byte is read once, whole, when its eleventh byte arrives.
TEST_F(LineNoise, AReplyInElevenPiecesIsReadWhenItIsComplete)
{
    ASSERT_TRUE(startRun());
    const int replies = repliesSent();
    validator->inject(ValidatorLine::Fault::Drop);
    const QByteArray frame = poll();
    ASSERT_EQ(frame, command(1));
    ASSERT_TRUE(settle(replies));
    // The validator's reply, withheld by the line; the test delivers it instead.
    const QByteArray reply = engine.answer(frame);
    ASSERT_EQ(reply, validatorReply(1, 0x01, 0x00, 0x00));

    for (int i = 0; i < 10; ++i) {
        pty->write(reply.mid(i, 1));
        ASSERT_TRUE(waitUntil([&] { return serial.inBufferCount() == i + 1; }));
        EXPECT_TRUE(lastReplyRow().isEmpty());
        EXPECT_FALSE(model.members().replyReceived);
    }
    pty->write(reply.mid(10));
    const QString line = ExpectedLines::reply(reply, "   ", ' ', "   ");
    ASSERT_TRUE(waitUntil([&] { return lastReplyRow() == line; }));
    EXPECT_EQ(serial.inBufferCount(), 0);

    ASSERT_EQ(poll(), command(0));
    ASSERT_TRUE(settle(replies + 1));
    EXPECT_EQ(lastReplyRow(), ExpectedLines::reply(idle, "   ", ' ', "   "));
}

} // namespace
