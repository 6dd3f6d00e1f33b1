// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/model/notetally.h"

#include "base/numbers.h"

#include <optional>

namespace {

// One step of a count: counter := counter + addend. A step that cannot be carried out (a text
// that does not read as a number, a value out of range) is skipped alone.
void addTo(QString &counter, std::optional<double> addend)
{
    const std::optional<double> current = Numbers::parsePlain(counter);
    if (!current || !addend)
        return;
    counter = Numbers::format(*current + *addend);
}

} // namespace

NoteTally::NoteTally()
{
    ResetTotals();
}

void NoteTally::CountNote(int noteIndex)
{
    if (noteIndex < 1 || noteIndex > channelCount)
        return;
    const int i = noteIndex - 1;
    std::optional<double> value;
    if (const std::optional<qint32> whole = Numbers::toInt32(noteValues[i]))
        value = *whole;

    addTo(quantities[i], 1);
    addTo(amounts[i], value);
    addTo(quantities[totalRow], 1);
    addTo(amounts[totalRow], value);
}

void NoteTally::ResetTotals()
{
    quantities.fill(QStringLiteral("0"));
    amounts.fill(QStringLiteral("0"));
}

void NoteTally::ValueChg(const std::array<QString, channelCount> &captions)
{
    noteValues = captions;
}
