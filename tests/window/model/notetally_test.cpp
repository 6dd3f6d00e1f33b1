// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/printers.h"
#include "window/model/notetally.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

const std::array<QString, channelCount> designed{"1", "2", "5", "10", "20", "50", "100"};

struct ValueCase
{
    const char *value; // of channel 2
    const char *amountAfterTwo; // the quantities count either way
};

void PrintTo(const ValueCase &c, std::ostream *out)
{
    *out << '"' << c.value << '"';
}

class NoteValueTest : public testing::TestWithParam<ValueCase>
{ };

// Two notes of channel 2 and one of channel 7, then channel 2 with a new value.
TEST_P(NoteValueTest, AmountsFollowTheNumberRules)
{
    std::array<QString, channelCount> values = designed;
    values[1] = QLatin1String(GetParam().value);
    NoteTally tally;
    tally.ValueChg(values);
    for (int note : {2, 0, 2, 8, 7})
        tally.CountNote(note);
    const QString amount = QLatin1String(GetParam().amountAfterTwo);
    const QStringList quantities{"0", "2", "0", "0", "0", "0", "1", "3"};
    for (int row = 0; row <= NoteTally::totalRow; ++row)
        EXPECT_EQ(tally.quantity(row), quantities[row]) << row;
    EXPECT_EQ(tally.amount(1), amount);
    EXPECT_EQ(tally.amount(6), "100");
    EXPECT_EQ(tally.amount(NoteTally::totalRow), QString::number(amount.toLongLong() + 100));

    values[1] = "10";
    tally.ValueChg(values);
    tally.CountNote(2);
    EXPECT_EQ(tally.amount(1), QString::number(amount.toLongLong() + 10)) << "from then on";
    EXPECT_EQ(tally.noteValue(1), "10");
    tally.ResetTotals();
    for (int row = 0; row <= NoteTally::totalRow; ++row) {
        EXPECT_EQ(tally.quantity(row), "0");
        EXPECT_EQ(tally.amount(row), "0");
    }
}

INSTANTIATE_TEST_SUITE_P(NoteTally, NoteValueTest,
                         testing::Values(ValueCase{"2", "4"}, ValueCase{"2.5", "4"},
                                         ValueCase{"3.5", "8"}, ValueCase{"0", "0"},
                                         ValueCase{"abc", "0"}, ValueCase{"2147483648", "0"},
                                         ValueCase{"2147483647", "4294967294"},
                                         ValueCase{" 20", "40"}));

} // namespace
