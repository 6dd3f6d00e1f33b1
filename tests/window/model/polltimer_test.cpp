#include "polltimer.h"

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

} // namespace
