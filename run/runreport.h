// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class HeadlessRun;
struct RunOptions;

// The report of a finished run, as text: its settings, when it started and ended, the tally,
// the statistics and how it ended.
QString runReport(const RunOptions &options, const HeadlessRun &run);
