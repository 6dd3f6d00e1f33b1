#include "numbers.h"

#include <gtest/gtest.h>

namespace {

TEST(Numbers, NumericEntries)
{
    for (const char *text : {"1", " 20", "-3", "+4", "2.5", "1e3", "1E10", "  7  "})
        EXPECT_TRUE(Numbers::isNumeric(text)) << text;
    for (const char *text : {"", " ", "abc", "1x", "--1", "0x10", "inf", "nan"})
        EXPECT_FALSE(Numbers::isNumeric(text)) << text;
}

TEST(Numbers, HalvesGoToTheEvenNeighbour)
{
    const std::pair<const char *, int> cases[] = {{"0.5", 0},   {"1.5", 2},   {"2.5", 2},
                                                  {"3.5", 4},   {"20.5", 20}, {"21.5", 22},
                                                  {"-2.5", -2}, {"2.4999", 2}};
    for (const auto &[text, whole] : cases)
        EXPECT_EQ(Numbers::toInt32(text), whole) << text;
}

TEST(Numbers, RangesOfTheWholeNumberConversions)
{
    EXPECT_EQ(Numbers::toInt16("32767"), 32767);
    EXPECT_EQ(Numbers::toInt16("-32768"), -32768);
    EXPECT_FALSE(Numbers::toInt16("32768"));
    EXPECT_FALSE(Numbers::toInt16("1E10"));
    EXPECT_EQ(Numbers::toInt32("2147483647"), 2147483647);
    EXPECT_FALSE(Numbers::toInt32("2147483648"));
    EXPECT_FALSE(Numbers::toInt32("x"));
}

TEST(Numbers, FormatIsPlainDecimal)
{
    EXPECT_EQ(Numbers::format(0), "0");
    EXPECT_EQ(Numbers::format(150), "150");
    EXPECT_EQ(Numbers::format(-7), "-7");
    EXPECT_EQ(Numbers::format(123456789012), "123456789012");
    EXPECT_EQ(Numbers::format(2.5), "2.5");
}

} // namespace
