// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/numbers.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace Numbers {

namespace {

std::optional<double> finite(double value, bool ok)
{
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QLocale plainLocale()
{
    QLocale plain = QLocale::c();
    plain.setNumberOptions(QLocale::RejectGroupSeparator);
    return plain;
}

// The operator's locale, as Qt's default locale gives it, and the C form where that refuses:
// a decimal point is understood everywhere.
std::optional<double> parseLocal(const QString &trimmed)
{
    bool ok = false;
    const double value = QLocale().toDouble(trimmed, &ok);
    if (ok)
        return finite(value, ok);
    return parsePlain(trimmed);
}

} // namespace

std::optional<double> parsePlain(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = plainLocale().toDouble(trimmed, &ok);
    return finite(value, ok);
}

std::optional<qint64> parseWhole(const QString &text, qint64 lowest, qint64 highest)
{
    bool ok = false;
    const qint64 value = plainLocale().toLongLong(text.trimmed(), &ok);
    if (!ok || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

std::optional<double> parseEntry(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const std::optional<double> local = parseLocal(trimmed);
    const std::optional<double> plain = parsePlain(trimmed);
    if (!local || local != plain)
        return std::nullopt;
    return local;
}

double roundHalfEven(double value)
{
    // nearbyint follows the current rounding mode, which is round-to-nearest-even by default.
    return std::nearbyint(value);
}

template<typename Int>
static std::optional<Int> toWhole(const QString &text)
{
    const std::optional<double> value = parsePlain(text);
    if (!value)
        return std::nullopt;
    const double rounded = roundHalfEven(*value);
    if (rounded < double(std::numeric_limits<Int>::min())
        || rounded > double(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return Int(rounded);
}

std::optional<qint16> toInt16(const QString &text)
{
    return toWhole<qint16>(text);
}

std::optional<qint32> toInt32(const QString &text)
{
    return toWhole<qint32>(text);
}

QString format(double value)
{
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        return QString::number(qint64(value));
    return QString::number(value, 'g', 15);
}

} // namespace Numbers
