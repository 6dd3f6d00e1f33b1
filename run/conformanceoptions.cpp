// SPDX-License-Identifier: GPL-3.0-or-later
#include "run/conformanceoptions.h"

#include "base/numbers.h"
#include "run/runoptions.h"

#include <QCommandLineParser>

namespace {

const QString conformanceName = QStringLiteral("conformance");
const QString notesName = QStringLiteral("notes");
const QString replyWithinName = QStringLiteral("reply-within");

constexpr int mostNotes = 1'000'000;
constexpr int longestReplyWithin = 65535;

} // namespace

void addConformanceOptions(QCommandLineParser &parser)
{
    parser.addOptions({
            QCommandLineOption(conformanceName,
                               QStringLiteral("Check the validator against the protocol's rules "
                                              "and print one row per rule. Exit status 1 when "
                                              "a rule was broken.")),
            QCommandLineOption(notesName,
                               QStringLiteral("With --conformance: end once N notes were "
                                              "handled (default 4, or none with --seconds)."),
                               QStringLiteral("N")),
            QCommandLineOption(replyWithinName,
                               QStringLiteral("With --conformance: the longest time from a frame "
                                              "to its complete reply (default 35)."),
                               QStringLiteral("MS")),
    });
}

bool readConformanceOptions(const QCommandLineParser &parser, const RunOptions &run,
                            ConformanceOptions *options, QString *error)
{
    options->on = parser.isSet(conformanceName);
    if (!options->on) {
        if (parser.isSet(notesName) || parser.isSet(replyWithinName)) {
            *error = QStringLiteral("--notes and --reply-within go with --conformance");
            return false;
        }
        return true;
    }
    // The session drives the conversation itself: it polls, repeats and holds notes in escrow.
    if (run.polls > 0 || run.mode != NormalPoll || !run.escrow || !run.reportPath.isEmpty()) {
        *error = QStringLiteral(
                "--conformance does not go with --polls, --mode, --no-escrow or --report");
        return false;
    }
    if (parser.isSet(notesName)) {
        const std::optional<qint64> notes = Numbers::parseWhole(parser.value(notesName), 1,
                                                                mostNotes);
        if (!notes) {
            *error = QStringLiteral("--notes needs a whole number from 1 to %1").arg(mostNotes);
            return false;
        }
        options->notes = int(*notes);
    } else if (run.milliseconds > 0) {
        options->notes = 0;
    }
    if (parser.isSet(replyWithinName)) {
        const std::optional<qint64> within = Numbers::parseWhole(parser.value(replyWithinName), 1,
                                                                 longestReplyWithin);
        if (!within) {
            *error = QStringLiteral("--reply-within needs a whole number of ms from 1 to %1")
                             .arg(longestReplyWithin);
            return false;
        }
        options->replyWithinMs = int(*within);
    }
    return true;
}
