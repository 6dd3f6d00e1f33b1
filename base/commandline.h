// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

class QCommandLineParser;
class QString;

// What the programs' command lines have in common.
namespace CommandLine {

// The exit status of every program given a wrong command line.
constexpr int wrongStatus = 3;

// Writes the program's name and the error on standard error, with the way to the program's
// help on the next line, as the GNU tools do. Returns wrongStatus.
int refuse(const QString &error);
// Parses the program's arguments and answers --help, --help-all and --version, which end the
// program. Nothing when the options are understood; otherwise the error is refused and its
// status returned.
std::optional<int> parse(QCommandLineParser &parser);

} // namespace CommandLine
