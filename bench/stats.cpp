// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/stats.h"

#include <algorithm>
#include <cmath>

namespace {

// The value at or below which `share` of the sorted values lie (nearest rank).
double rank(const QList<double> &sorted, double share)
{
    const auto index = qsizetype(std::ceil(share * double(sorted.size()))) - 1;
    return sorted.at(std::clamp<qsizetype>(index, 0, sorted.size() - 1));
}

} // namespace

Summary summarize(QList<double> values)
{
    Summary summary;
    summary.count = values.size();
    if (values.isEmpty())
        return summary;
    std::sort(values.begin(), values.end());
    summary.median = rank(values, 0.5);
    summary.p99 = rank(values, 0.99);
    summary.worst = values.last();
    return summary;
}
