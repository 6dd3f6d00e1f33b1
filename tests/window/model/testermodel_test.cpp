// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/frames.h"
#include "tests/support/handpacedmodel.h"
#include "tests/support/printers.h"

#include <QLocale>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

using Frames::hex;
using Frames::reply;

constexpr int idle = 0x01, escrowed = 0x04, stacked = 0x10;
constexpr int note3 = 3 << 3; // a note of channel 3 (5 units by the default values)
const QString noResponse = "       NO RESPONSE!  TIMEOUT";

class TesterModelTest : public testing::Test, public HandPacedModel
{ };

// The ACK bit's alternation and repeats on the real line: the end-to-end test.
TEST_F(TesterModelTest, NormalPollOpensTheLineSendsAndShowsTheConversation)
{
    model.setRunSwitch(true);
    EXPECT_EQ(line.written, QList<QByteArray>{hex("02 08 10 7F 10 00 03 77")});
    EXPECT_EQ(line.settings, "9600, E, 7, 1");
    EXPECT_TRUE(line.dtr && line.rts);
    EXPECT_EQ(model.log().sent(0), " 02 08 10 7F 10 00 03 77    ");
    EXPECT_EQ(model.panel().hostState, " RUNNING");

    const QByteArray idling = reply({idle});
    line.push(idling.left(10));
    EXPECT_TRUE(model.log().reply(0).trimmed().isEmpty()) << "ten bytes wait for the eleventh";
    line.push(idling.right(1));
    EXPECT_EQ(model.panel().validatorState, " IDLING");
    EXPECT_EQ(model.log().reply(0), " 02 0B 20 01 00 00 00 00 00 03 2A          ");
    model.SendCommand();
    model.SendCommand(); // no reply to the second frame
    EXPECT_EQ(model.log().reply(1), noResponse);
    EXPECT_EQ(model.panel().validatorState, " ");
}

// A frame that begins with the start byte but is not a good reply is no response: logged as
// such, and neither decoded, shown nor counted. The frame goes out again.
TEST_F(TesterModelTest, AFrameThatIsNotAGoodReplyIsNoResponseAndChangesNothing)
{
    const QByteArray good = reply({stacked, 0, note3});
    QByteArray badEnd = good;
    badEnd[9] = 0x04;
    QByteArray badByte8 = good;
    badByte8[8] = 0x40; // the checksum no longer matches
    model.setRunSwitch(true);
    line.push(reply({idle, 0, note3}));
    model.SendCommand();
    for (const QByteArray &bad : {Frames::badChecksum(good), badEnd, badByte8}) {
        line.push(bad);
        EXPECT_EQ(model.log().reply(1), noResponse);
        EXPECT_FALSE(model.members().replyReceived);
    }
    EXPECT_EQ(model.tally().quantity(NoteTally::totalRow), "0");
    model.SendCommand();
    EXPECT_EQ(lastFrame(), line.written[1]);
    line.push(good);
    EXPECT_EQ(model.tally().quantity(2), "1");
    line.push(badEnd);
    EXPECT_EQ(model.log().reply(2), " 02 0B 20 10 00 18 00 00 00 03 23     3 STD")
            << "a good reply logged for the frame stays";
    EXPECT_EQ(model.panel().lastEvent, " STACKED 5");
}

// What waits in the port when the next frame goes is the earlier frame's: a whole reply answers
// it, late, and the next frame is a new one; a reply that stopped coming goes before the frame,
// so that it never joins the reply to it; bytes after a reply's eleventh are never decoded.
TEST_F(TesterModelTest, WhatWaitsAtASendBelongsToTheFrameBefore)
{
    QSignalSpy dropped(&model, &TesterModel::bytesDropped);
    QSignalSpy seconds(&model, &TesterModel::secondReplyRead);
    model.setRunSwitch(true);
    line.arrive(reply({idle}));
    model.SendCommand();
    EXPECT_EQ(lastFrame(), hex("02 08 11 7F 10 00 03 76")) << "a new frame";
    EXPECT_EQ(model.log().reply(0), " 02 0B 20 01 00 00 00 00 00 03 2A          ");

    line.arrive(reply({idle}, 0x21).left(8));
    model.SendCommand();
    EXPECT_EQ(lastFrame(), hex("02 08 11 7F 10 00 03 76")) << "the same frame again";
    ASSERT_EQ(dropped.size(), 1);
    EXPECT_EQ(dropped[0][0].toByteArray(), hex("02 0B 21 01 00 00 00 00"));
    EXPECT_EQ(dropped[0][1].value<TesterModel::Dropped>(), TesterModel::Dropped::BrokenReply);
    line.push(reply({stacked, 0, note3}, 0x21) + reply({stacked, 0, note3}, 0x21) + hex("55"));
    EXPECT_EQ(model.tally().quantity(2), "1");
    EXPECT_EQ(seconds.size(), 1);
    ASSERT_EQ(dropped.size(), 2);
    EXPECT_EQ(dropped[1][0].toByteArray(), hex("55"));
    EXPECT_EQ(dropped[1][1].value<TesterModel::Dropped>(), TesterModel::Dropped::Stray);

    // The start of a second reply waits for its rest, which is never decoded either.
    line.push(reply({idle}, 0x21) + reply({0x02}, 0x21).left(4));
    line.push(reply({0x02}, 0x21).mid(4));
    EXPECT_EQ(seconds.size(), 2);
    EXPECT_EQ(model.panel().validatorState, " IDLING");
}

// Stacking an escrowed note on the real line: the end-to-end test.
TEST_F(TesterModelTest, AnEscrowedNoteIsReturnedWhenItsChannelIsCleared)
{
    model.setRunSwitch(true);
    line.push(reply({escrowed, 0, 2 << 3}));
    model.setChannelState(1, 0);
    model.SendCommand();
    EXPECT_EQ(lastFrame(), hex("02 08 11 7D 50 00 03 34"));
    EXPECT_EQ(model.log().sent(1).right(3), "RTN");
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
    EXPECT_EQ(model.panel().hostState, " SYSTEM SUSPENDED");
    for (int i = 0; i < 3; ++i) {
        line.push(reply({stacked, 0, note3}));
        model.SendCommand();
    }
    EXPECT_EQ(line.written, QList<QByteArray>(5, hex("02 08 10 7F 10 00 03 77")));
    EXPECT_EQ(model.tally().quantity(NoteTally::totalRow), "0");
}

using Entry = TesterModel::Entry;

// port, interval, the entry refused (none: the run starts), the interval shown, the timer's.
struct EntryCase
{
    const char *port, *interval;
    std::optional<Entry> rejected;
    const char *intervalAfter;
    int timerInterval;
    const char *locale = "C";
};

void PrintTo(const EntryCase &c, std::ostream *out)
{
    *out << c.locale << " port \"" << c.port << "\" interval \"" << c.interval << '"';
}

class EntryTest : public TesterModelTest, public testing::WithParamInterface<EntryCase>
{ };

TEST_P(EntryTest, RunStartChecksThePortAndIntervalBoxes)
{
    const EntryCase &c = GetParam();
    QLocale::setDefault(QLocale(QLatin1String(c.locale)));
    model.setPortText(c.port);
    model.setIntervalText(c.interval);
    QSignalSpy rejected(&model, &TesterModel::entryRejected);
    model.setRunSwitch(true);
    EXPECT_EQ(model.panel().runSwitch, !c.rejected);
    EXPECT_EQ(model.panel().intervalText, QLatin1String(c.intervalAfter));
    EXPECT_EQ(line.written.size(), c.rejected ? 0 : 1);
    EXPECT_EQ(rejected.count(), c.rejected ? 1 : 0);
    if (c.rejected && !rejected.isEmpty()) {
        EXPECT_EQ(rejected.first().first().value<Entry>(), *c.rejected);
    } else if (!c.rejected) {
        EXPECT_EQ(model.pollInterval(), c.timerInterval);
    }
    QLocale::setDefault(QLocale::system());
}

INSTANTIATE_TEST_SUITE_P(
        TesterModel, EntryTest,
        testing::Values(EntryCase{"1", "100", {}, "100", 100}, EntryCase{"1", "29", {}, "30", 30},
                        EntryCase{"1", "30", {}, "30", 30},
                        EntryCase{"1", "100000", {}, "65535", 65535},
                        EntryCase{"1", "30.5", {}, "30.5", 30},
                        EntryCase{"1", "101.5", {}, "101.5", 102},
                        EntryCase{"1.0", "100", {}, "100", 100},
                        EntryCase{"abc", "100", Entry::Port, "100", 0},
                        EntryCase{"1E10", "100", Entry::Port, "100", 0},
                        EntryCase{"", "100", Entry::Port, "100", 0},
                        EntryCase{"1", "fast", Entry::Interval, "fast", 0},
                        // What a restart reads the same in every locale.
                        EntryCase{"1", "1,000", Entry::Interval, "1,000", 0},
                        EntryCase{"1", "250", {}, "250", 250, "de_DE"},
                        EntryCase{"1", "100.5", {}, "100.5", 100, "de_DE"},
                        EntryCase{"1", "100,5", Entry::Interval, "100,5", 0, "de_DE"},
                        EntryCase{"1", "1.000", Entry::Interval, "1.000", 0, "de_DE"},
                        EntryCase{"1.000", "100", Entry::Port, "100", 0, "de_DE"},
                        EntryCase{"1", "1,000", Entry::Interval, "1,000", 0, "en_US"}));

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
    EXPECT_TRUE(line.written.isEmpty());
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
}

TEST_F(TesterModelTest, PollTimerSendsWhileTheSwitchIsOnAndTheLampsDimTogether)
{
    model.setIntervalText("30");
    model.setRunSwitch(true);
    EXPECT_EQ(model.panel().sendLamp, TesterModel::lampLit);
    line.push(reply({idle}));
    EXPECT_EQ(model.panel().receiveLamp, TesterModel::lampLit);
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.panel().sendLamp == TesterModel::lampDark; }));
    EXPECT_EQ(model.panel().receiveLamp, TesterModel::lampDark);
    EXPECT_TRUE(QTest::qWaitFor([&] { return line.written.size() >= 3; }, 10000));
    EXPECT_EQ(model.log().reply(1), noResponse);
    model.setRunSwitch(false);
    EXPECT_FALSE(model.pollTimerActive());
}

TEST(TesterModel, RunStartEmptiesTheReceiveBufferEvenBeforeTheFirstOpenWhenAsked)
{
    HandPacedModel h;
    h.model.setInputEmptiedAtRunStart(true);
    h.model.setRunSwitch(true);
    EXPECT_EQ(h.line.clearRequests, 1);
    EXPECT_EQ(h.line.written.size(), 1);
}

} // namespace
