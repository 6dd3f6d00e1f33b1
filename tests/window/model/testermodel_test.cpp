#include "frames.h"
#include "handpacedmodel.h"
#include "printers.h"
#include "validatorengine.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Frames::hex;
using Frames::reply;

constexpr int idle = 0x01, escrowed = 0x04, stacking = 0x08, stacked = 0x10;
constexpr int note3 = 3 << 3; // a note of channel 3 (5 units by the default values)
const QString noResponse = "       NO RESPONSE!  TIMEOUT";

class TesterModelTest : public testing::Test, public HandPacedModel
{ };

TEST_F(TesterModelTest, NormalPollAlternatesTheAckBitAfterGoodRepliesAndRepeatsOtherwise)
{
    model.setRunSwitch(true);
    EXPECT_EQ(line.written, QList<QByteArray>{hex("02 08 10 7F 10 00 03 77")});
    EXPECT_EQ(line.settings, "9600, E, 7, 1");
    EXPECT_TRUE(line.dtr && line.rts);
    EXPECT_EQ(model.log().sent(0), " 02 08 10 7F 10 00 03 77    ");
    EXPECT_EQ(model.panel().hostState, " RUNNING");
    EXPECT_TRUE(model.pollTimerActive());
    EXPECT_EQ(model.pollInterval(), 65535);

    line.push(reply({idle}));
    EXPECT_EQ(model.panel().validatorState, " IDLING");
    model.SendCommand();
    EXPECT_EQ(lastFrame(), hex("02 08 11 7F 10 00 03 76"));
    EXPECT_EQ(model.log().reply(0), " 02 0B 20 01 00 00 00 00 00 03 2A          ");
    model.SendCommand(); // no reply to the second frame
    EXPECT_EQ(lastFrame(), hex("02 08 11 7F 10 00 03 76"));
    EXPECT_EQ(model.log().reply(1), noResponse);
    EXPECT_EQ(model.panel().validatorState, " ");
    line.push(reply({idle}));
    model.SendCommand();
    EXPECT_EQ(lastFrame(), hex("02 08 10 7F 10 00 03 77"));
    EXPECT_EQ(line.written.size(), 4);
}

// A frame that begins with the start byte but is not a good reply is no response: logged as
// such, and neither decoded, shown nor counted. The frame goes out again.
TEST_F(TesterModelTest, AFrameThatIsNotAGoodReplyIsNoResponseAndChangesNothing)
{
    const QByteArray good = reply({stacked, 0, note3});
    QByteArray badLength = good;
    badLength[1] = 0x0C;
    badLength[10] = char(badLength[10] ^ 0x07); // the checksum matches
    QByteArray badEnd = good;
    badEnd[9] = 0x04;
    QByteArray badByte8 = good;
    badByte8[8] = 0x40; // the checksum no longer matches
    model.setRunSwitch(true);
    line.push(reply({idle, 0, note3}));
    model.SendCommand();
    for (const QByteArray &bad : {Frames::badChecksum(good), badLength, badEnd, badByte8}) {
        line.push(bad);
        EXPECT_EQ(model.log().reply(1), noResponse);
        EXPECT_EQ(model.panel().validatorState, " IDLING");
        EXPECT_EQ(model.panel().lastEvent, " ");
        EXPECT_FALSE(model.members().replyReceived);
    }
    EXPECT_EQ(model.tally().quantity(NoteTally::totalRow), "0");
    model.SendCommand();
    EXPECT_EQ(lastFrame(), line.written[1]);
    line.push(good);
    EXPECT_EQ(model.tally().quantity(2), "1");
    EXPECT_EQ(model.tally().amount(NoteTally::totalRow), "5");
    line.push(badEnd);
    EXPECT_EQ(model.log().reply(2), " 02 0B 20 10 00 18 00 00 00 03 23     3 STD")
            << "a good reply logged for the frame stays";
    EXPECT_EQ(model.panel().lastEvent, " STACKED 5");
}

// Random bytes cut into the validator's replies anywhere, at length: the tally ends at what the
// validator stacked, and no noise reaches the displays or the tally.
TEST_F(TesterModelTest, RandomNoiseAmongRealRepliesIsNeverCountedNorShown)
{
    ValidatorEngine validator;
    QRandomGenerator random(20261207);
    const auto noise = [&](int size) {
        QByteArray bytes(size, '\0');
        for (char &byte : bytes)
            byte = char(random.bounded(256));
        return bytes;
    };
    model.setRunSwitch(true);
    for (int poll = 0; poll < 5000; ++poll) {
        if (validator.readyForNote())
            validator.insertNote(int(random.bounded(1, 8)));
        const QByteArray answer = validator.answer(lastFrame());
        const PanelState shown = model.panel();
        const QString total = model.tally().quantity(NoteTally::totalRow);
        // Every push leaves at least 11 bytes waiting, so each is read whole.
        const int cut = int(random.bounded(1, 11));
        switch (random.bounded(4)) {
        case 0: // the reply is lost in the noise
            line.push(noise(int(random.bounded(11, 40))));
            break;
        case 1: // noise just before the reply, read with it
            line.push(noise(cut) + answer);
            break;
        case 2: // the reply cut short by noise; the next read begins with its tail
            line.push(noise(int(random.bounded(11, 40))) + answer.left(cut));
            line.push(answer.mid(cut) + noise(11));
            break;
        default:
            line.push(answer);
            model.SendCommand();
            continue;
        }
        ASSERT_EQ(model.panel().validatorState, shown.validatorState) << "poll " << poll;
        ASSERT_EQ(model.panel().lastEvent, shown.lastEvent) << "poll " << poll;
        ASSERT_EQ(model.tally().quantity(NoteTally::totalRow), total) << "poll " << poll;
        model.SendCommand();
    }
    for (int poll = 0; poll < 10; ++poll) {
        line.push(validator.answer(lastFrame()));
        model.SendCommand();
    }
    EXPECT_GT(validator.stacked(), 200);
    EXPECT_EQ(model.tally().quantity(NoteTally::totalRow), QString::number(validator.stacked()));
}

TEST_F(TesterModelTest, EscrowedNoteIsStackedAndCountedOnceOrReturnedWhenItsChannelIsCleared)
{
    model.setRunSwitch(true);
    line.push(reply({escrowed, 0, note3}));
    model.SendCommand();
    EXPECT_EQ(lastFrame(), hex("02 08 11 7F 30 00 03 56"));
    EXPECT_EQ(model.panel().hostState, " STACK BILL");
    line.push(reply({stacking, 0, note3}, 0x21));
    model.SendCommand();
    line.push(reply({stacked, 0, note3}));
    EXPECT_EQ(model.panel().lastEvent, " STACKED 5");
    model.SendCommand();
    line.push(reply({idle}, 0x21));
    EXPECT_EQ(model.tally().quantity(2), "1");
    EXPECT_EQ(model.tally().amount(2), "5");
    EXPECT_EQ(model.tally().quantity(NoteTally::totalRow), "1");
    EXPECT_EQ(model.panel().lastEvent, " ");

    line.push(reply({escrowed, 0, 2 << 3}));
    model.setChannelState(1, 0);
    model.SendCommand();
    EXPECT_EQ(lastFrame(), hex("02 08 10 7D 50 00 03 35"));
    EXPECT_EQ(model.log().sent(4).right(3), "RTN");
    EXPECT_EQ(model.panel().hostState, " RETURN BILL");
}

// The validator repeats its reply for a repeated ACK bit: a late reply and the answer to the
// repeat, or the first frame of a new run. One stacked report counts once per frame.
TEST_F(TesterModelTest, AStackedReportCountsOncePerFrame)
{
    model.setRunSwitch(true);
    model.SendCommand(); // the reply was late: the frame goes out again
    line.push(reply({stacked, 0, note3}));
    line.push(reply({idle})); // some other good frame, even one by chance of noise
    line.push(reply({stacked, 0, note3})); // the answer to the repeat
    EXPECT_EQ(model.tally().quantity(2), "1");
    model.SendCommand();
    line.push(reply({stacked, 0, note3}, 0x21));
    EXPECT_EQ(model.tally().quantity(2), "2") << "a new report counts again";
    model.setRunSwitch(false);
    model.setRunSwitch(true); // ACK 0 again: the validator repeats its last reply
    line.push(reply({stacked, 0, note3}, 0x21));
    EXPECT_EQ(model.tally().quantity(2), "2");
    EXPECT_EQ(model.log().reply(0).right(3), "STD") << "it is still shown and logged";
}

TEST_F(TesterModelTest, StepIntoSendsOnceAndSwitchesItselfOff)
{
    model.setRunSwitch(true);
    line.push(reply({idle}));
    model.setRunSwitch(false);
    selectMode(StepInto);
    QSignalSpy switchSpy(&model, &TesterModel::runSwitchChanged);
    model.setRunSwitch(true);
    EXPECT_EQ(lastFrame(), hex("02 08 11 7F 10 00 03 76"));
    EXPECT_FALSE(model.panel().runSwitch);
    EXPECT_EQ(switchSpy.count(), 2);
    EXPECT_EQ(model.panel().hostState, " SYSTEM SUSPENDED");
    EXPECT_FALSE(model.pollTimerActive());
    EXPECT_EQ(model.log().logRow(), 2) << "the log continues across step runs";
}

TEST_F(TesterModelTest, InterruptModeSendsOnceAndStartsNoTimer)
{
    selectMode(InterruptMode);
    model.setRunSwitch(true);
    EXPECT_TRUE(model.panel().runSwitch);
    EXPECT_FALSE(model.pollTimerActive());
    EXPECT_TRUE(line.written.isEmpty()) << "nothing was ever built";
    EXPECT_EQ(model.log().sent(0), " 02 08 00 00 00 00 03 00 ");
}

TEST_F(TesterModelTest, NegativeAckRepeatsTheLastFrameAndCountsNothing)
{
    model.setRunSwitch(true);
    line.push(reply({idle}));
    model.setRunSwitch(false);
    selectMode(NegativeAck);
    model.setRunSwitch(true);
    EXPECT_TRUE(model.pollTimerActive());
    EXPECT_EQ(model.panel().hostState, " SYSTEM SUSPENDED");
    for (int i = 0; i < 3; ++i) {
        line.push(reply({stacked, 0, note3}));
        model.SendCommand();
    }
    EXPECT_EQ(line.written, QList<QByteArray>(5, hex("02 08 10 7F 10 00 03 77")));
    EXPECT_EQ(model.tally().quantity(NoteTally::totalRow), "0");
}

struct EntryCase
{
    const char *port, *interval;
    bool runs;
    TesterModel::Entry rejected;
    const char *intervalAfter;
    int timerInterval;
};

class EntryTest : public TesterModelTest, public testing::WithParamInterface<EntryCase>
{ };

TEST_P(EntryTest, RunStartChecksThePortAndIntervalBoxes)
{
    const EntryCase &c = GetParam();
    model.setPortText(c.port);
    model.setIntervalText(c.interval);
    QSignalSpy rejected(&model, &TesterModel::entryRejected);
    model.setRunSwitch(true);
    EXPECT_EQ(model.panel().runSwitch, c.runs);
    EXPECT_EQ(model.panel().intervalText, QLatin1String(c.intervalAfter));
    EXPECT_EQ(line.written.size(), c.runs ? 1 : 0);
    if (c.runs) {
        EXPECT_EQ(rejected.count(), 0);
        EXPECT_EQ(model.pollInterval(), c.timerInterval);
    } else {
        ASSERT_EQ(rejected.count(), 1);
        EXPECT_EQ(rejected.first().first().value<TesterModel::Entry>(), c.rejected);
        EXPECT_EQ(model.panel().hostState, " SYSTEM SUSPENDED");
    }
}

INSTANTIATE_TEST_SUITE_P(
        TesterModel, EntryTest,
        testing::Values(EntryCase{"1", "100", true, {}, "100", 100},
                        EntryCase{"1", "29", true, {}, "30", 30},
                        EntryCase{"1", "30", true, {}, "30", 30},
                        EntryCase{"1", "100000", true, {}, "65535", 65535},
                        EntryCase{"1", "30.5", true, {}, "30.5", 30},
                        EntryCase{"1", "101.5", true, {}, "101.5", 102},
                        EntryCase{"1.0", "100", true, {}, "100", 100},
                        EntryCase{"abc", "100", false, TesterModel::Entry::Port, "100", 0},
                        EntryCase{"1E10", "100", false, TesterModel::Entry::Port, "100", 0},
                        EntryCase{"", "100", false, TesterModel::Entry::Port, "100", 0},
                        EntryCase{"1", "fast", false, TesterModel::Entry::Interval, "fast", 0}));

TEST_F(TesterModelTest, APortThatFailsIsReportedAndOpenedAgainAtTheNextStart)
{
    model.setPortText("9");
    QSignalSpy failed(&model, &TesterModel::portFailed);
    model.setRunSwitch(true);
    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(failed.first().first().toString(),
              "Communication Port Error (#:8002).  COM port maybe in use by other "
              "application(s) or does not exist.");
    EXPECT_FALSE(model.panel().runSwitch);
    EXPECT_FALSE(model.pollTimerActive());
    EXPECT_TRUE(line.written.isEmpty());
    EXPECT_EQ(model.log().logRow(), 0);
    model.setRunSwitch(true);
    EXPECT_EQ(line.openAttempts, 2);

    // A changed port number opens the port again, the same number written otherwise does not.
    model.setPortText("1.0");
    model.setRunSwitch(true);
    model.setRunSwitch(false);
    model.setPortText("1");
    model.setRunSwitch(true);
    model.setRunSwitch(false);
    model.setPortText("2");
    model.setRunSwitch(true);
    EXPECT_EQ(line.openedPorts, (QList<int>{1, 2}));

    // A line lost while open stops the run and keeps the tally.
    line.push(reply({stacked, 0, note3}));
    line.breakLine();
    model.SendCommand();
    EXPECT_EQ(failed.count(), 3);
    EXPECT_FALSE(model.panel().runSwitch);
    EXPECT_FALSE(line.isOpen());
    EXPECT_EQ(model.tally().quantity(NoteTally::totalRow), "1");
    model.setRunSwitch(true);
    EXPECT_EQ(line.openedPorts, (QList<int>{1, 2, 2}));
}

TEST_F(TesterModelTest, RepliesAreReadOnlyOnceElevenBytesWaitAndExtraBytesAreDropped)
{
    model.setRunSwitch(true);
    line.push(reply({idle}).left(10));
    EXPECT_FALSE(model.members().replyReceived);
    EXPECT_EQ(line.inBufferCount(), 10);
    line.push(hex("2A 02 0B"));
    EXPECT_TRUE(model.members().replyReceived);
    EXPECT_EQ(line.inBufferCount(), 0);
}

TEST_F(TesterModelTest, BadStartBytePausesAndDiscardsTheInputKeepingThePollTimer)
{
    model.setRunSwitch(true);
    const int clearsBefore = line.clearRequests;
    QSignalSpy logged(&model, &TesterModel::logChanged);
    line.push(hex("03") + reply({idle}).left(10));
    EXPECT_TRUE(model.resyncPending());
    EXPECT_TRUE(model.pollTimerActive()) << "the pause keeps the poll schedule";
    EXPECT_EQ(logged.count(), 0);
    EXPECT_EQ(model.panel().receiveLamp, TesterModel::lampDark);
    line.push(hex("7F 7F"));
    QTRY_VERIFY_WITH_TIMEOUT(!model.resyncPending(), 5000);
    EXPECT_EQ(line.clearRequests, clearsBefore + 1);
    EXPECT_EQ(line.inBufferCount(), 0);
    EXPECT_FALSE(model.members().replyReceived);
}

TEST_F(TesterModelTest, PollTimerSendsWhileTheSwitchIsOnAndTheLampsDimTogether)
{
    model.setIntervalText("30");
    model.setRunSwitch(true);
    EXPECT_EQ(model.panel().sendLamp, TesterModel::lampLit);
    line.push(reply({idle}));
    EXPECT_EQ(model.panel().receiveLamp, TesterModel::lampLit);
    QTRY_COMPARE_WITH_TIMEOUT(model.panel().sendLamp, TesterModel::lampDark, 5000);
    EXPECT_EQ(model.panel().receiveLamp, TesterModel::lampDark);
    QTRY_VERIFY_WITH_TIMEOUT(line.written.size() >= 3, 10000);
    EXPECT_EQ(model.log().reply(1), noResponse);
    model.setRunSwitch(false);
    EXPECT_FALSE(model.pollTimerActive());
}

TEST(TesterModel, HighColourRunStartEmptiesTheReceiveBufferEvenBeforeTheFirstOpen)
{
    HandPacedModel h(HighColour);
    h.model.setRunSwitch(true);
    EXPECT_EQ(h.line.clearRequests, 1);
    EXPECT_EQ(h.line.written.size(), 1);
}

} // namespace
