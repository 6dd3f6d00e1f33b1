// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/printers.h"
#include "window/model/trafficlog.h"

#include <gtest/gtest.h>

namespace {

QString sent(int n)
{
    return QStringLiteral("S%1").arg(n);
}

QString reply(int n)
{
    return QStringLiteral("R%1").arg(n);
}

// Frames from .. to - 1, each with its reply.
void converse(TrafficLog &log, int from, int to)
{
    for (int n = from; n < to; ++n) {
        log.writeSent(sent(n));
        log.writeReply(reply(n));
    }
}

TEST(TrafficLog, RowsPairUntilFullThenTheSentColumnScrollsBeforeItsReply)
{
    TrafficLog log;
    log.writeReply("before any frame"); // has no row
    converse(log, 0, 16);
    EXPECT_EQ(log.logRow(), 16);
    log.writeSent(sent(16));
    EXPECT_EQ(log.sent(0), sent(1));
    EXPECT_EQ(log.sent(15), sent(16));
    EXPECT_EQ(log.reply(0), reply(0)) << "the reply column waits for the reply";
    EXPECT_EQ(log.reply(15), reply(15));
    log.writeReply(reply(16));
    EXPECT_EQ(log.logRow(), 17);
    converse(log, 17, 40);
    EXPECT_EQ(log.logRow(), 17);
    for (int row = 0; row < 16; ++row) {
        EXPECT_EQ(log.sent(row), sent(24 + row));
        EXPECT_EQ(log.reply(row), reply(24 + row));
    }
    log.clear();
    EXPECT_EQ(log.logRow(), 0);
    EXPECT_TRUE(log.sent(15).isEmpty() && log.reply(15).isEmpty());
    log.writeSent(sent(99));
    EXPECT_EQ(log.sent(0), sent(99));
}

TEST(TrafficLog, SecondReplyLineForTheSameFrameOverwritesUntilFullThenScrolls)
{
    TrafficLog log;
    log.writeSent(sent(0));
    log.writeReply("bad");
    log.writeReply("again");
    EXPECT_EQ(log.reply(0), "again");
    EXPECT_TRUE(log.reply(1).isEmpty());
    converse(log, 1, 17);
    // Full: both writes for one frame scroll the reply column, which then runs one row ahead.
    log.writeSent(sent(17));
    log.writeReply("bad");
    log.writeReply("again");
    EXPECT_EQ(log.reply(15), "again");
    EXPECT_EQ(log.reply(14), "bad");
    EXPECT_EQ(log.reply(13), reply(16));
    EXPECT_EQ(log.sent(14), sent(16));
}

} // namespace
