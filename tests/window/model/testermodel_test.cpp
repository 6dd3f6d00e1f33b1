#include "memoryline.h"
#include "testermodel.h"
#include "trafficlines.h"
#include "validatorengine.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray reply(quint8 d0, quint8 d1 = 0, quint8 d2 = 0, bool goodChecksum = true,
                 quint8 control = 0x20)
{
    QByteArray r = hex("02 0B 20 00 00 00 00 00 00 03 00");
    r[2] = char(control);
    r[3] = char(d0);
    r[4] = char(d1);
    r[5] = char(d2);
    quint8 sum = 0;
    for (int i = 1; i <= 8; ++i)
        sum ^= quint8(r[i]);
    r[10] = char(goodChecksum ? sum : sum ^ 0x01);
    return r;
}

constexpr quint8 idle = 0x01;
constexpr quint8 escrowed = 0x04;
constexpr quint8 stacking = 0x08;
constexpr quint8 stacked = 0x10;

quint8 note(int channel)
{
    return quint8(channel << 3);
}

class TesterModelTest : public testing::Test
{
protected:
    explicit TesterModelTest(DisplayProfile layout = Colour256)
        : model(&line, layout)
    {
        model.setPortText("1");
        model.setComPort(1);
        model.markPortForReopen();
        // Long enough that the poll timer never ticks during a test: the tests send by hand.
        model.setIntervalText("65535");
        for (int i = 0; i < 7; ++i)
            model.setChannelState(i, 1);
        model.setEscrow(true);
        model.ValueChg();
        model.clickModeButton();
    }

    void selectMode(PollMode mode)
    {
        while (model.members().pollMode != mode)
            model.clickModeButton();
    }

    QByteArray lastFrame() const
    {
        return line.written.isEmpty() ? QByteArray() : line.written.last();
    }

    MemoryLine line;
    TesterModel model;
};

TEST_F(TesterModelTest, NormalPollStartsWithAFreshFrameAckClear)
{
    model.setRunSwitch(true);
    ASSERT_EQ(line.written.size(), 1);
    EXPECT_EQ(lastFrame(), hex("02 08 10 7F 10 00 03 77"));
    EXPECT_EQ(line.settings, "9600, E, 7, 1");
    EXPECT_TRUE(line.dtr && line.rts);
    EXPECT_EQ(model.log().sent(0), " 02 08 10 7F 10 00 03 77    ");
    EXPECT_TRUE(model.log().reply(0).isEmpty());
    EXPECT_EQ(model.panel().hostState, " RUNNING");
    EXPECT_TRUE(model.pollTimerActive());
    EXPECT_EQ(model.pollInterval(), 65535);
}

TEST_F(TesterModelTest, GoodRepliesAlternateTheAckBitMissingOnesRepeatTheFrame)
{
    model.setRunSwitch(true);
    line.push(reply(idle));
    model.SendCommand();
    EXPECT_EQ(lastFrame(), hex("02 08 11 7F 10 00 03 76"));
    EXPECT_EQ(model.log().reply(0),
              replyLine(*ValidatorReply::fromRead(reply(idle)), "   ", " ", "   "));
    model.SendCommand(); // no reply to the second frame
    EXPECT_EQ(lastFrame(), hex("02 08 11 7F 10 00 03 76"));
    EXPECT_EQ(model.log().reply(1), noResponseLine());
    EXPECT_EQ(model.panel().validatorState, " ");
    line.push(reply(idle));
    EXPECT_EQ(model.panel().validatorState, " IDLING");
    model.SendCommand();
    EXPECT_EQ(lastFrame(), hex("02 08 10 7F 10 00 03 77"));
    EXPECT_EQ(line.written.size(), 4);
}

// A frame that begins with the start byte but is not a good reply is no response: logged as
// such, and neither decoded, shown nor counted. The frame goes out again and the repeat counts.
TEST_F(TesterModelTest, AFrameThatIsNotAGoodReplyIsNoResponseAndChangesNothing)
{
    QByteArray badLength = reply(stacked, 0, note(3));
    badLength[1] = 0x0C;
    badLength[10] = char(badLength[10] ^ 0x07); // the checksum matches
    QByteArray badEnd = reply(stacked, 0, note(3));
    badEnd[9] = 0x04;
    model.setRunSwitch(true);
    line.push(reply(idle, 0, note(3)));
    model.SendCommand();
    for (const QByteArray &bad : {reply(stacked, 0, note(3), false), badLength, badEnd}) {
        line.push(bad);
        EXPECT_EQ(model.log().reply(1), noResponseLine());
        EXPECT_EQ(model.panel().validatorState, " IDLING");
        EXPECT_EQ(model.panel().lastEvent, " ");
        EXPECT_EQ(model.members().lastReply.bytes,
                  ValidatorReply::fromRead(reply(idle, 0, note(3)))->bytes);
        EXPECT_FALSE(model.members().replyReceived);
    }
    EXPECT_EQ(model.tally().quantity(NoteTally::totalRow), "0");
    model.SendCommand();
    EXPECT_EQ(lastFrame(), line.written[1]);
    line.push(reply(stacked, 0, note(3)));
    EXPECT_EQ(model.tally().quantity(2), "1");
    EXPECT_EQ(model.tally().amount(NoteTally::totalRow), "5");
    line.push(badEnd);
    EXPECT_EQ(model.log().reply(2).right(3), "STD") << "a good reply logged for the frame stays";
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

TEST_F(TesterModelTest, EscrowedNoteOnAnEnabledChannelIsStackedAndCountedOnce)
{
    model.setRunSwitch(true);
    line.push(reply(escrowed, 0, note(4)));
    model.SendCommand();
    EXPECT_EQ(lastFrame(), hex("02 08 11 7F 30 00 03 56"));
    EXPECT_EQ(model.panel().hostState, " STACK BILL");
    line.push(reply(stacking, 0, note(4)));
    model.SendCommand();
    line.push(reply(stacked, 0, note(4)));
    EXPECT_EQ(model.panel().lastEvent, " STACKED 10");
    model.SendCommand();
    line.push(reply(idle));
    EXPECT_EQ(model.tally().quantity(3), "1");
    EXPECT_EQ(model.tally().amount(3), "10");
    EXPECT_EQ(model.tally().quantity(NoteTally::totalRow), "1");
    EXPECT_EQ(model.panel().lastEvent, " ");
}

TEST_F(TesterModelTest, AReplyArrivingTwiceForOneSendCountsItsNoteOnce)
{
    model.setRunSwitch(true);
    model.SendCommand(); // the reply was late: the frame goes out again
    line.push(reply(stacked, 0, note(5)));
    line.push(reply(idle)); // some other good frame, even one by chance of noise
    line.push(reply(stacked, 0, note(5))); // the answer to the repeat
    EXPECT_EQ(model.tally().quantity(4), "1");
    model.SendCommand();
    line.push(reply(stacked, 0, note(5), true, 0x21));
    EXPECT_EQ(model.tally().quantity(4), "2") << "a new report counts again";
}

TEST_F(TesterModelTest, AStackedReportRepeatedForANewRunsFirstFrameIsNotCountedAgain)
{
    model.setRunSwitch(true);
    line.push(reply(stacked, 0, note(2)));
    EXPECT_EQ(model.tally().quantity(1), "1");
    // The new run's first frame carries ACK 0 again: the validator takes it for a repeat.
    model.setRunSwitch(false);
    model.setRunSwitch(true);
    line.push(reply(stacked, 0, note(2)));
    EXPECT_EQ(model.tally().quantity(1), "1");
    EXPECT_EQ(model.log().reply(0).right(3), "STD") << "it is still shown and logged";
}

TEST_F(TesterModelTest, EscrowedNoteIsReturnedWhenItsChannelIsClearedBeforeTheBuild)
{
    model.setRunSwitch(true);
    line.push(reply(escrowed, 0, note(2)));
    model.setChannelState(1, 0);
    model.SendCommand();
    EXPECT_EQ(lastFrame(), hex("02 08 11 7D 50 00 03 34"));
    EXPECT_EQ(model.log().sent(1).right(3), "RTN");
    EXPECT_EQ(model.panel().hostState, " RETURN BILL");
}

TEST_F(TesterModelTest, StepIntoSendsOnceAndSwitchesItselfOff)
{
    model.setRunSwitch(true);
    line.push(reply(idle));
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
    line.push(reply(idle));
    model.setRunSwitch(false);
    selectMode(NegativeAck);
    model.setRunSwitch(true);
    EXPECT_TRUE(model.pollTimerActive());
    EXPECT_EQ(model.panel().hostState, " SYSTEM SUSPENDED");
    for (int i = 0; i < 3; ++i) {
        line.push(reply(stacked, 0, note(1)));
        model.SendCommand();
    }
    for (const QByteArray &frame : line.written)
        EXPECT_EQ(frame, hex("02 08 10 7F 10 00 03 77"));
    EXPECT_EQ(model.tally().quantity(NoteTally::totalRow), "0");
    EXPECT_EQ(model.log().sent(0), model.log().sent(3));
}

TEST_F(TesterModelTest, ModeButtonCyclesTheFourModes)
{
    const PollMode order[] = {StepInto, InterruptMode, NegativeAck, NormalPoll, StepInto};
    for (PollMode expected : order) {
        model.clickModeButton();
        EXPECT_EQ(model.members().pollMode, expected);
    }
}

struct EntryCase
{
    const char *port;
    const char *interval;
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
    if (c.runs) {
        EXPECT_EQ(rejected.count(), 0);
        EXPECT_EQ(model.pollInterval(), c.timerInterval);
        EXPECT_EQ(line.written.size(), 1);
    } else {
        ASSERT_EQ(rejected.count(), 1);
        EXPECT_EQ(rejected.first().first().value<TesterModel::Entry>(), c.rejected);
        EXPECT_TRUE(line.written.isEmpty());
        EXPECT_EQ(model.panel().hostState, " SYSTEM SUSPENDED");
    }
}

INSTANTIATE_TEST_SUITE_P(
        TesterModel, EntryTest,
        testing::Values(EntryCase{"1", "100", true, {}, "100", 100},
                        EntryCase{"1", "12", true, {}, "30", 30},
                        EntryCase{"1", "100000", true, {}, "65535", 65535},
                        EntryCase{"1", "30.5", true, {}, "30.5", 30},
                        EntryCase{"1", "101.5", true, {}, "101.5", 102},
                        EntryCase{"1.0", "100", true, {}, "100", 100},
                        EntryCase{"abc", "100", false, TesterModel::Entry::Port, "100", 0},
                        EntryCase{"1E10", "100", false, TesterModel::Entry::Port, "100", 0},
                        EntryCase{"", "100", false, TesterModel::Entry::Port, "100", 0},
                        EntryCase{"1", "fast", false, TesterModel::Entry::Interval, "fast", 0}));

TEST_F(TesterModelTest, PortThatDoesNotExistIsReportedAndTriedAgainAtTheNextStart)
{
    model.setPortText("9");
    QSignalSpy failed(&model, &TesterModel::portFailed);
    QSignalSpy rejected(&model, &TesterModel::entryRejected);
    model.setRunSwitch(true);
    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(failed.first().first().toString(),
              "Communication Port Error (#:8002).  COM port maybe in use by other "
              "application(s) or does not exist.");
    EXPECT_EQ(rejected.count(), 1);
    EXPECT_FALSE(model.panel().runSwitch);
    EXPECT_FALSE(model.members().portReady);
    EXPECT_TRUE(model.members().portReopenPending);
    EXPECT_FALSE(model.pollTimerActive());
    EXPECT_TRUE(line.written.isEmpty());
    EXPECT_EQ(model.log().logRow(), 0);

    model.setRunSwitch(true);
    EXPECT_EQ(line.openAttempts, 2);
    EXPECT_EQ(failed.count(), 2);
}

TEST_F(TesterModelTest, ChangedPortNumberReopensEqualValueDoesNot)
{
    model.setRunSwitch(true);
    model.setRunSwitch(false);
    model.setPortText("1.0");
    model.setRunSwitch(true);
    EXPECT_EQ(line.openedPorts, QList<int>{1});
    model.setRunSwitch(false);
    model.setPortText("2");
    model.setRunSwitch(true);
    EXPECT_EQ(line.openedPorts, (QList<int>{1, 2}));
    EXPECT_EQ(model.members().comPort, 2);
}

TEST_F(TesterModelTest, RepliesAreReadOnlyOnceElevenBytesWaitAndExtraBytesAreDropped)
{
    model.setRunSwitch(true);
    const QByteArray r = reply(idle);
    line.push(r.left(10));
    EXPECT_FALSE(model.members().replyReceived);
    EXPECT_EQ(line.inBufferCount(), 10);
    line.push(r.mid(10) + hex("02 0B"));
    EXPECT_TRUE(model.members().replyReceived);
    EXPECT_EQ(line.inBufferCount(), 0);
}

TEST_F(TesterModelTest, BadStartBytePausesAndDiscardsTheInputKeepingThePollTimer)
{
    model.setRunSwitch(true);
    const int clearsBefore = line.clearRequests;
    QSignalSpy logged(&model, &TesterModel::logChanged);
    line.push(hex("03") + reply(idle).left(10));
    EXPECT_TRUE(model.resyncPending());
    EXPECT_TRUE(model.pollTimerActive()) << "the pause keeps the poll schedule";
    EXPECT_EQ(logged.count(), 0);
    EXPECT_EQ(model.panel().receiveLamp, TesterModel::lampDark);
    line.push(hex("7F 7F"));
    QTRY_VERIFY_WITH_TIMEOUT(!model.resyncPending(), 5000);
    EXPECT_EQ(line.clearRequests, clearsBefore + 1);
    EXPECT_TRUE(model.pollTimerActive());
    EXPECT_EQ(line.inBufferCount(), 0);
    EXPECT_FALSE(model.members().replyReceived);
}

TEST_F(TesterModelTest, LineLostWhileOpenStopsTheRunKeepsTheTallyAndReopensOnStart)
{
    model.setRunSwitch(true);
    line.push(reply(stacked, 0, note(1)));
    model.SendCommand();
    line.push(reply(stacked, 0, note(1), true, 0x21));
    line.breakLine();
    QSignalSpy failed(&model, &TesterModel::portFailed);
    model.SendCommand();
    EXPECT_EQ(failed.count(), 1);
    EXPECT_FALSE(model.panel().runSwitch);
    EXPECT_FALSE(line.isOpen());
    EXPECT_EQ(model.tally().quantity(NoteTally::totalRow), "2");
    model.setRunSwitch(true);
    EXPECT_TRUE(line.isOpen());
    EXPECT_EQ(line.openedPorts.size(), 2);
}

TEST_F(TesterModelTest, LampsLightOnSendAndReplyAndDimTogether)
{
    model.setRunSwitch(true);
    EXPECT_EQ(model.panel().sendLamp, TesterModel::lampLit);
    line.push(reply(idle));
    EXPECT_EQ(model.panel().receiveLamp, TesterModel::lampLit);
    QTRY_COMPARE_WITH_TIMEOUT(model.panel().sendLamp, TesterModel::lampDark, 5000);
    EXPECT_EQ(model.panel().receiveLamp, TesterModel::lampDark);
}

TEST_F(TesterModelTest, PollTimerSendsWhileTheSwitchIsOn)
{
    model.setIntervalText("30");
    model.setRunSwitch(true);
    QTRY_VERIFY_WITH_TIMEOUT(line.written.size() >= 3, 10000);
    EXPECT_EQ(model.log().reply(0), noResponseLine());
    model.setRunSwitch(false);
    const qsizetype sent = line.written.size();
    EXPECT_FALSE(model.pollTimerActive());
    EXPECT_EQ(line.written.size(), sent);
}

class HighColourModelTest : public TesterModelTest
{
protected:
    HighColourModelTest()
        : TesterModelTest(HighColour)
    { }
};

TEST_F(HighColourModelTest, RunStartEmptiesTheReceiveBufferEvenBeforeTheFirstOpen)
{
    model.setRunSwitch(true);
    EXPECT_EQ(line.clearRequests, 1);
    EXPECT_EQ(line.written.size(), 1);
}

} // namespace
