// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// Number conversions shared by the operator's entries, the tally, SETUP.INI and the command
// lines. Stored and given numbers have one form in every locale: blanks around, an optional
// sign, digits with an optional decimal point and exponent, no group separators. Whole numbers
// are rounded to the nearest, halves to the even neighbour.
namespace Numbers {

// A number in the stored form, whatever the locale.
std::optional<double> parsePlain(const QString &text);
// An operator's entry: numeric to the locale-aware parser, and read as the same number in the
// stored form, so that it means after a restart, on any machine, what it means now ("1.000" and
// "2,5" under a German locale and "1,000" under an English one are refused).
std::optional<double> parseEntry(const QString &text);
double roundHalfEven(double value);
// A whole number as the command lines take it: blanks around, an optional sign and digits, no
// fraction, exponent or group separator, whatever the locale; nothing outside lowest to highest.
std::optional<qint64> parseWhole(const QString &text, qint64 lowest, qint64 highest);
// The stored form's number as a whole number of 16 or 32 bits.
std::optional<qint16> toInt16(const QString &text);
std::optional<qint32> toInt32(const QString &text);
// Shortest plain decimal form: whole numbers as digits, others with a '.' and no grouping.
QString format(double value);

} // namespace Numbers
