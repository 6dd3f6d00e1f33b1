// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/faults/faultfixture.h"

namespace {

class HangUp : public FaultFixture
{
protected:
    // Polls by hand until the validator has stacked `notes` notes in all, and once more: a run
    // that starts right after the stacked report may repeat the acknowledge bit of the frame
    // that got it, and the validator then repeats the report.
    bool pollUntilStacked(int notes)
    {
        for (int i = 0; i < 20; ++i) {
            if (exchange().isEmpty())
                return false;
            if (engine.stacked() == notes)
                return !exchange().isEmpty();
        }
        return false;
    }
};

// The line is hung up while the poll timer runs: the run stops with the port error, and the next
// start, on a line plugged in again, opens the port anew and polls on. The notes are stacked with
// sends by hand, so that their counts do not depend on how fast this process is scheduled.
TEST_F(HangUp, WhilePollingStopsWithThePortErrorAndTheNextStartRecovers)
{
    ASSERT_TRUE(engine.insertNote(5));
    ASSERT_TRUE(startRun());
    ASSERT_TRUE(pollUntilStacked(1));

    model.setRunSwitch(false);
    model.setIntervalText(QStringLiteral("30"));
    ASSERT_TRUE(startRun());
    const qsizetype framesBefore = validator->frames.size();
    ASSERT_TRUE(waitUntil([&] { return validator->frames.size() >= framesBefore + 5; }));

    hangUp();
    ASSERT_TRUE(waitUntil([&] { return portFailed.count() == 1; }));
    EXPECT_FALSE(model.panel().runSwitch);
    EXPECT_FALSE(model.pollTimerActive());
    EXPECT_EQ(model.panel().hostState, " SYSTEM SUSPENDED");
    EXPECT_FALSE(serial.isOpen());
    EXPECT_EQ(tallyTotal(), 1) << "the tally outlives the line";

    // Nothing more happens on the dead line: no second report, no sends.
    ASSERT_TRUE(plugIn());
    ASSERT_TRUE(settle(repliesSent()));
    EXPECT_TRUE(validator->frames.isEmpty());

    // The next start reopens the port on the new line; the run starts with a fresh frame.
    model.setIntervalText(QStringLiteral("65535"));
    ASSERT_TRUE(engine.insertNote(2));
    ASSERT_TRUE(startRun());
    EXPECT_EQ(validator->frames.value(0), Frames::hex("02 08 10 7F 10 00 03 77"));
    ASSERT_TRUE(pollUntilStacked(2));
    EXPECT_EQ(model.tally().quantity(1), "1");
    EXPECT_EQ(model.tally().quantity(4), "1");
    EXPECT_EQ(portFailed.count(), 1);
    EXPECT_TRUE(model.panel().runSwitch);
}

} // namespace
