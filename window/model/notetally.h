// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/channels.h"

#include <QString>

#include <array>

// The count of stacked notes per channel and in total. As on the screen, the counters are held
// as the texts shown and read back as numbers on every count.
class NoteTally
{
public:
    static constexpr int totalRow = channelCount;

    NoteTally();

    // Adds one note of channel noteIndex (1 to 7); 0 names no channel and counts nothing.
    void CountNote(int noteIndex);
    void ResetTotals();
    // Copies the channel captions into the note-value column.
    void ValueChg(const std::array<QString, channelCount> &captions);

    const QString &noteValue(int index) const { return noteValues[index]; }
    const QString &quantity(int row) const { return quantities[row]; }
    const QString &amount(int row) const { return amounts[row]; }

private:
    std::array<QString, channelCount> noteValues;
    std::array<QString, channelCount + 1> quantities;
    std::array<QString, channelCount + 1> amounts;
};
