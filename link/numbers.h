#pragma once

#include <QString>

#include <optional>

// Number conversions shared by the operator's entries, the tally and SETUP.INI. Entries are
// numeric when the locale-aware parser accepts them (blanks around, sign, decimals and exponent
// allowed); whole numbers are rounded to the nearest, halves to the even neighbour.
namespace Numbers {

std::optional<double> parse(const QString &text);
bool isNumeric(const QString &text);
double roundHalfEven(double value);
std::optional<qint16> toInt16(const QString &text);
std::optional<qint32> toInt32(const QString &text);
// Shortest plain decimal form: whole numbers as digits, others with a '.' and no grouping.
QString format(double value);

} // namespace Numbers
