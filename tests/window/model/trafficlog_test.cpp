#include "trafficlog.h"

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

TEST(TrafficLog, RowsPairUntilTheLogIsFull)
{
    TrafficLog log;
    log.writeReply("before any frame"); // has no row
    for (int n = 0; n < 16; ++n) {
        log.writeSent(sent(n));
        log.writeReply(reply(n));
    }
    for (int row = 0; row < 16; ++row) {
        EXPECT_EQ(log.sent(row), sent(row));
        EXPECT_EQ(log.reply(row), reply(row));
    }
    EXPECT_EQ(log.logRow(), 16);
}

TEST(TrafficLog, SeventeenthFrameScrollsTheSentColumnThenItsReplyTheOther)
{
    TrafficLog log;
    for (int n = 0; n < 16; ++n) {
        log.writeSent(sent(n));
        log.writeReply(reply(n));
    }
    log.writeSent(sent(16));
    EXPECT_EQ(log.sent(0), sent(1));
    EXPECT_EQ(log.sent(15), sent(16));
    EXPECT_EQ(log.reply(0), reply(0)) << "the reply column waits for the reply";
    EXPECT_EQ(log.reply(15), reply(15));

    log.writeReply(reply(16));
    for (int row = 0; row < 16; ++row)
        EXPECT_EQ(log.reply(row), reply(row + 1)) << row;
    EXPECT_EQ(log.logRow(), 17);

    for (int n = 17; n < 40; ++n) {
        log.writeSent(sent(n));
        log.writeReply(reply(n));
        EXPECT_EQ(log.logRow(), 17);
    }
    for (int row = 0; row < 16; ++row) {
        EXPECT_EQ(log.sent(row), sent(24 + row));
        EXPECT_EQ(log.reply(row), reply(24 + row));
    }
}

TEST(TrafficLog, SecondReplyLineForTheSameFrameOverwritesUntilFullThenScrolls)
{
    TrafficLog log;
    log.writeSent(sent(0));
    log.writeReply("bad");
    log.writeReply("again");
    EXPECT_EQ(log.reply(0), "again");
    EXPECT_TRUE(log.reply(1).isEmpty());

    for (int n = 1; n < 17; ++n) {
        log.writeSent(sent(n));
        log.writeReply(reply(n));
    }
    // Full: both writes for one frame scroll the reply column, which then runs one row ahead.
    log.writeSent(sent(17));
    log.writeReply("bad");
    log.writeReply("again");
    EXPECT_EQ(log.reply(15), "again");
    EXPECT_EQ(log.reply(14), "bad");
    EXPECT_EQ(log.reply(13), reply(16));
    EXPECT_EQ(log.sent(14), sent(16));
}

TEST(TrafficLog, ClearEmptiesBothColumnsAndRestartsAtTheTop)
{
    TrafficLog log;
    for (int n = 0; n < 20; ++n)
        log.writeSent(sent(n));
    log.clear();
    EXPECT_EQ(log.logRow(), 0);
    for (int row = 0; row < 16; ++row)
        EXPECT_TRUE(log.sent(row).isEmpty() && log.reply(row).isEmpty());
    log.writeSent(sent(99));
    EXPECT_EQ(log.sent(0), sent(99));
}

} // namespace
