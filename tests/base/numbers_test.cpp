// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/numbers.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

// An operator's entry is taken only when the operator's locale and SETUP.INI's form read the
// same number from it: what is counted now is what is counted after a restart on any machine.
TEST(Numbers, EntriesMeanTheSameInEveryLocale)
{
    struct Case
    {
        const char *locale, *text;
        std::optional<double> value;
    };
    const Case cases[] = {
            {"C", "1", 1},          {"C", " 20", 20},        {"C", "-3", -3},
            {"C", "+4", 4},         {"C", "2.5", 2.5},       {"C", "1e3", 1000},
            {"C", "  7  ", 7},      {"C", "1,000", {}},      {"C", "", {}},
            {"C", " ", {}},         {"C", "abc", {}},        {"C", "1x", {}},
            {"C", "--1", {}},       {"C", "0x10", {}},       {"C", "inf", {}},
            {"C", "nan", {}},       {"en_US", "1000", 1000}, {"en_US", "1,000", {}},
            {"en_US", "1.5", 1.5},  {"de_DE", "1000", 1000}, {"de_DE", "1.000", {}},
            {"de_DE", "2,5", {}},   {"de_DE", "100,5", {}},  {"de_DE", "3.5", 3.5},
            {"de_DE", "1e3", 1000}, {"de_DE", "-7", -7},
    };
    for (const Case &c : cases) {
        QLocale::setDefault(QLocale(QLatin1String(c.locale)));
        EXPECT_EQ(Numbers::parseEntry(c.text), c.value) << c.locale << " " << c.text;
    }
    QLocale::setDefault(QLocale::system());
}

// SETUP.INI's and the command lines' numbers read alike in every locale.
TEST(Numbers, StoredNumbersIgnoreTheLocale)
{
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    const std::pair<const char *, std::optional<qint32>> cases[] = {
            {"1.000", 1}, {"2,5", {}}, {"1,000", {}}, {" 1000 ", 1000}, {"2.5e1", 25}};
    for (const auto &[text, whole] : cases)
        EXPECT_EQ(Numbers::toInt32(text), whole) << text;
    QLocale::setDefault(QLocale::system());
}

// The command lines' whole numbers: digits with an optional sign, within the range asked for.
TEST(Numbers, WholeNumbersAreDigitsInEveryLocale)
{
    const std::pair<const char *, std::optional<qint64>> cases[] = {{"12", 12},
                                                                    {" +7 ", 7},
                                                                    {"0", 0},
                                                                    {"1000", 1000},
                                                                    {"1001", {}},
                                                                    {"-1", {}},
                                                                    {"1.000", {}},
                                                                    {"1,000", {}},
                                                                    {"1 000", {}},
                                                                    {"1e3", {}},
                                                                    {"2.0", {}},
                                                                    {"0x10", {}},
                                                                    {"", {}},
                                                                    {"+", {}},
                                                                    {"--1", {}},
                                                                    {"\u0663", {}},
                                                                    {"99999999999999999999", {}}};
    for (const char *locale : {"C", "de_DE", "en_US"}) {
        QLocale::setDefault(QLocale(QLatin1String(locale)));
        for (const auto &[text, whole] : cases)
            EXPECT_EQ(Numbers::parseWhole(text, 0, 1000), whole) << locale << " " << text;
    }
    QLocale::setDefault(QLocale::system());
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
