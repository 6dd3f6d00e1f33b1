#include "hostcommand.h"
#include "trafficlines.h"
#include "validatorreply.h"

#include <gtest/gtest.h>

namespace {

TEST(TrafficLines, HexByte)
{
    const std::pair<int, const char *> cases[] = {{0, "00"},  {9, "09"},   {10, "0A"}, {15, "0F"},
                                                  {16, "10"}, {127, "7F"}, {255, "FF"}};
    for (const auto &[value, text] : cases)
        EXPECT_EQ(HexByte(value), QLatin1String(text)) << value;
}

TEST(TrafficLines, SentFrameLineIs28Characters)
{
    const HostCommand cmd = BuildCommand({{1, 1, 1, 1, 1, 1, 1}, true, false, false, true, 2})
                                    .command;
    const QString line = sentFrameLine(cmd);
    EXPECT_EQ(line, " 02 08 11 7F 30 00 03 56 STK");
    EXPECT_EQ(line.size(), 28);
}

TEST(TrafficLines, NeverBuiltFrameShowsZerosAndNoTag)
{
    EXPECT_EQ(sentFrameLine(HostCommand{}), " 02 08 00 00 00 00 03 00 ");
}

TEST(TrafficLines, ReplyLineIs43Characters)
{
    ValidatorReply r;
    r.bytes = {0x02, 0x0B, 0x21, 0x10, 0x00, 0x28, 0xA0, 0xFF, 0x00, 0x03, 0x7D};
    const QString line = replyLine(r, "STK", "5", "STD");
    EXPECT_EQ(line, " 02 0B 21 10 00 28 A0 FF 00 03 7D STK 5 STD");
    EXPECT_EQ(line.size(), 43);
    // Byte k stands at characters 3k+2 and 3k+3 (counted from 1).
    for (int k = 1; k <= 10; ++k)
        EXPECT_EQ(line.mid(3 * k + 1, 2), HexByte(r.bytes[k]));
}

TEST(TrafficLines, NoResponseLine)
{
    EXPECT_EQ(noResponseLine(), "       NO RESPONSE!  TIMEOUT");
    EXPECT_EQ(noResponseLine().size(), 28);
}

} // namespace
