// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>

// Order statistics of a series of measurements.
struct Summary
{
    qsizetype count = 0;
    double median = 0;
    double p99 = 0; // 99th percentile, nearest rank
    double worst = 0;
};

Summary summarize(QList<double> values);
