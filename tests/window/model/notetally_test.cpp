#include "notetally.h"

#include <gtest/gtest.h>

namespace {

const std::array<QString, 7> designed{"1", "2", "5", "10", "20", "50", "100"};

NoteTally tallyWith(const std::array<QString, 7> &values)
{
    NoteTally tally;
    tally.ValueChg(values);
    return tally;
}

TEST(NoteTally, CountsPerChannelAndInTotal)
{
    NoteTally tally = tallyWith(designed);
    for (int i = 0; i < 3; ++i)
        tally.CountNote(3);
    tally.CountNote(7);
    EXPECT_EQ(tally.quantity(2), "3");
    EXPECT_EQ(tally.amount(2), "15");
    EXPECT_EQ(tally.quantity(6), "1");
    EXPECT_EQ(tally.amount(6), "100");
    EXPECT_EQ(tally.quantity(NoteTally::totalRow), "4");
    EXPECT_EQ(tally.amount(NoteTally::totalRow), "115");
    for (int row : {0, 1, 3, 4, 5})
        EXPECT_EQ(tally.quantity(row), "0");
}

struct ValueCase
{
    const char *value;
    const char *amountAfterTwo; // quantities count either way
};

class NoteValueTest : public testing::TestWithParam<ValueCase>
{ };

TEST_P(NoteValueTest, AmountFollowsTheNumberRules)
{
    std::array<QString, 7> values = designed;
    values[1] = QLatin1String(GetParam().value);
    NoteTally tally = tallyWith(values);
    tally.CountNote(2);
    tally.CountNote(2);
    EXPECT_EQ(tally.quantity(1), "2");
    EXPECT_EQ(tally.quantity(NoteTally::totalRow), "2");
    EXPECT_EQ(tally.amount(1), QLatin1String(GetParam().amountAfterTwo));
    EXPECT_EQ(tally.amount(NoteTally::totalRow), QLatin1String(GetParam().amountAfterTwo));
}

INSTANTIATE_TEST_SUITE_P(NoteTally, NoteValueTest,
                         testing::Values(ValueCase{"2.5", "4"}, ValueCase{"3.5", "8"},
                                         ValueCase{"0", "0"}, ValueCase{"abc", "0"},
                                         ValueCase{"2147483648", "0"},
                                         ValueCase{"2147483647", "4294967294"},
                                         ValueCase{" 20", "40"}));

TEST(NoteTally, NoteIndexZeroCountsNothing)
{
    NoteTally tally = tallyWith(designed);
    tally.CountNote(0);
    for (int row = 0; row <= NoteTally::totalRow; ++row)
        EXPECT_EQ(tally.quantity(row), "0");
}

TEST(NoteTally, ANewValueCountsFromThenOn)
{
    std::array<QString, 7> values = designed;
    NoteTally tally = tallyWith(values);
    tally.CountNote(3);
    values[2] = "10";
    tally.ValueChg(values);
    tally.CountNote(3);
    EXPECT_EQ(tally.amount(2), "15");
    EXPECT_EQ(tally.noteValue(2), "10");
}

TEST(NoteTally, ResetSetsEveryCounterToZero)
{
    NoteTally tally = tallyWith(designed);
    for (int n = 1; n <= 7; ++n)
        tally.CountNote(n);
    tally.ResetTotals();
    for (int row = 0; row <= NoteTally::totalRow; ++row) {
        EXPECT_EQ(tally.quantity(row), "0");
        EXPECT_EQ(tally.amount(row), "0");
    }
}

} // namespace
