#include "numbers.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace Numbers {

std::optional<double> parse(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    double value = QLocale::system().toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool isNumeric(const QString &text)
{
    return parse(text).has_value();
}

double roundHalfEven(double value)
{
    // nearbyint follows the current rounding mode, which is round-to-nearest-even by default.
    return std::nearbyint(value);
}

template<typename Int>
static std::optional<Int> toWhole(const QString &text)
{
    const std::optional<double> value = parse(text);
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
