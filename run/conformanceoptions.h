// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QCommandLineParser;
class QString;
struct RunOptions;

// What a conformance session of brisvel-run checks and for how long.
struct ConformanceOptions
{
    bool on = false; // --conformance
    int notes = 4; // the session ends once this many notes were handled; 0: no such end
    int replyWithinMs = 35;
};

// Declares --conformance, --notes and --reply-within.
void addConformanceOptions(QCommandLineParser &parser);

// The conformance options of a parsed command line; false, with `error` set, when they are
// wrong or do not go with the run's other options.
bool readConformanceOptions(const QCommandLineParser &parser, const RunOptions &run,
                            ConformanceOptions *options, QString *error);
