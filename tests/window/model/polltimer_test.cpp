// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/model/polltimer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Lets the event loop run until a timer of its own has run out.
void letTimePass(int milliseconds)
{
    QTimer marker;
    marker.setSingleShot(true);
    QSignalSpy ended(&marker, &QTimer::timeout);
    marker.start(milliseconds);
    EXPECT_TRUE(ended.wait(10000));
}

TEST(PollTimer, TicksUntilStoppedAndARestartBeginsANewCount)
{
    PollTimer timer;
    QSignalSpy ticks(&timer, &PollTimer::timeout);
    EXPECT_FALSE(timer.isActive());

    timer.start(5);
    EXPECT_TRUE(timer.isActive());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks.size() >= 3; }));

    timer.stop();
    EXPECT_FALSE(timer.isActive());
    const qsizetype stoppedAt = ticks.size();
    letTimePass(60);
    EXPECT_EQ(ticks.size(), stoppedAt);

    // The count of the restart replaces the running one: no tick of the 5 ms count comes.
    timer.start(5);
    timer.start(60000);
    letTimePass(60);
    EXPECT_EQ(ticks.size(), stoppedAt);
    EXPECT_TRUE(timer.isActive());
}

// A program too busy to take its ticks: the ticks of the stall are missed, not made up for, and
// the one taken long after its time is missed too rather than raised just before the next.
TEST(PollTimer, TicksOfAStallAreMissedNotRaisedLate)
{
    constexpr int period = 100;
    // Half a period late: missed, unless what the tick starts needs no more than is left.
    for (const int needed : {0, period / 4}) {
        PollTimer timer;
        timer.setTimeNeeded(needed);
        QSignalSpy ticks(&timer, &PollTimer::timeout);
        QSignalSpy missed(&timer, &PollTimer::missed);
        timer.start(period);
        QElapsedTimer stall;
        stall.start();
        while (stall.elapsed() < 5 * period + period / 2) { }
        ASSERT_TRUE(missed.wait(10000));
        EXPECT_GE(missed.first().first().toInt(), needed ? 4 : 5);
        EXPECT_EQ(ticks.size(), needed ? 1 : 0) << needed;
        timer.stop();
    }
}

} // namespace
