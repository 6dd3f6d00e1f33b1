// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

// The core functions timed with Google Benchmark: building a frame, decoding a reply, the three
// log lines and one whole receive-and-log step of the model.
namespace Microbench {

struct Timing
{
    QString name;
    double cpuNanoseconds = 0; // per call
    double wallNanoseconds = 0;
};

// Runs the benchmarks that match Google Benchmark's own options in argv (all by default),
// printing its report, and returns the time per call of each.
QList<Timing> run(int argc, char **argv);

} // namespace Microbench
