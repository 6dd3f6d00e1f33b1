#include "expectedlines.h"
#include "faultfixture.h"

namespace {

using HangUp = FaultFixture;

// The line is hung up while the poll timer runs: the run stops with the port error, and the next
// start, on a line plugged in again, opens the port anew and polls on.
TEST_F(HangUp, WhilePollingStopsWithThePortErrorAndTheNextStartRecovers)
{
    model.setIntervalText(QStringLiteral("30"));
    ASSERT_TRUE(engine.insertNote(5));
    ASSERT_TRUE(startRun());
    ASSERT_TRUE(waitUntil([&] { return engine.stacked() == 1 && frames.size() >= 10; }));
    ASSERT_TRUE(settle(repliesSent()));
    EXPECT_EQ(portFailed.count(), 0);

    hangUp();
    ASSERT_TRUE(waitUntil([&] { return portFailed.count() == 1; }));
    EXPECT_TRUE(portFailed.first().at(0).toString().startsWith("Communication Port Error (#:"));
    EXPECT_TRUE(portFailed.first().at(0).toString().endsWith(
            ").  COM port maybe in use by other application(s) or does not exist."));
    EXPECT_FALSE(model.panel().runSwitch);
    EXPECT_FALSE(model.pollTimerActive());
    EXPECT_EQ(model.panel().hostState, " SYSTEM SUSPENDED");
    EXPECT_FALSE(model.members().portReady);
    EXPECT_TRUE(model.members().portReopenPending);
    EXPECT_FALSE(serial.isOpen());
    EXPECT_EQ(tallyTotal(), 1) << "the tally outlives the line";

    // Nothing more happens on the dead line: no second report, no sends.
    const qsizetype framesAtHangUp = frames.size();
    ASSERT_TRUE(plugIn());
    ASSERT_TRUE(engine.insertNote(2));
    ASSERT_TRUE(settle(repliesSent()));
    EXPECT_EQ(frames.size(), framesAtHangUp);
    EXPECT_EQ(portFailed.count(), 1);

    // The next start reopens the port on the new line; the run starts with a fresh frame.
    ASSERT_TRUE(startRun());
    EXPECT_TRUE(serial.isOpen());
    EXPECT_EQ(frames.at(framesAtHangUp).toHex(), "020810"
                                                 "7f"
                                                 "10"
                                                 "00"
                                                 "03"
                                                 "77");
    EXPECT_EQ(model.log().sent(0), ExpectedLines::sent(frames.at(framesAtHangUp)));
    ASSERT_TRUE(waitUntil(
            [&] { return engine.stacked() == 2 && frames.size() >= framesAtHangUp + 10; }));
    model.setRunSwitch(false);
    ASSERT_TRUE(settle(repliesSent()));
    EXPECT_EQ(tallyTotal(), 2);
    EXPECT_EQ(model.tally().quantity(1), "1");
    EXPECT_EQ(model.tally().quantity(4), "1");
    EXPECT_EQ(portFailed.count(), 1);
}

} // namespace
