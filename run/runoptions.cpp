// SPDX-License-Identifier: GPL-3.0-or-later
#include "run/runoptions.h"

#include "base/datafolder.h"
#include "base/fileaccess.h"
#include "base/numbers.h"
#include "link/comport.h"
#include "settings/file/setupfile.h"
#include "window/model/testermodel.h"

#include <QCommandLineParser>

#include <limits>

namespace {

const QString comName = QStringLiteral("com");
const QString intervalName = QStringLiteral("interval");
const QString pollsName = QStringLiteral("polls");
const QString secondsName = QStringLiteral("seconds");
const QString modeName = QStringLiteral("mode");
const QString noEscrowName = QStringLiteral("no-escrow");
const QString channelsName = QStringLiteral("channels");
const QString jsonName = QStringLiteral("json");
const QString dataFolderName = QStringLiteral("data-folder");
const QString reportName = QStringLiteral("report");

// A QTimer counts up to 2^31 - 1 ms, a little over 24 days.
constexpr double longestSeconds = 2'000'000;

bool readChannels(const QString &text, std::array<int, channelCount> &states)
{
    if (text.size() != channelCount)
        return false;
    for (int i = 0; i < channelCount; ++i) {
        if (text[i] != QLatin1Char('0') && text[i] != QLatin1Char('1'))
            return false;
        states[size_t(i)] = text[i] == QLatin1Char('1') ? 1 : 0;
    }
    return true;
}

} // namespace

void addRunOptions(QCommandLineParser &parser)
{
    parser.addOptions({
            QCommandLineOption(comName,
                               QStringLiteral("The validator's serial port: COMN on Windows, "
                                              "the link ports/comN in the data folder elsewhere."),
                               QStringLiteral("N")),
            QCommandLineOption(intervalName,
                               QStringLiteral("Poll interval in milliseconds, 30 to 65535 "
                                              "(default: SETUP.INI's, else 100)."),
                               QStringLiteral("MS")),
            QCommandLineOption(pollsName, QStringLiteral("Stop after K frames sent."),
                               QStringLiteral("K")),
            QCommandLineOption(secondsName, QStringLiteral("Stop after S seconds."),
                               QStringLiteral("S")),
            QCommandLineOption(modeName,
                               QStringLiteral("normal (the default), or negative-ack: the first "
                                              "frame is sent again on every tick."),
                               QStringLiteral("MODE")),
            QCommandLineOption(noEscrowName,
                               QStringLiteral("Escrow off: notes are stacked without being held.")),
            QCommandLineOption(channelsName,
                               QStringLiteral("Enables of channels 1 to 7 as seven digits 0 or 1 "
                                              "(default: SETUP.INI's, else 1111111)."),
                               QStringLiteral("1111111")),
            QCommandLineOption(jsonName,
                               QStringLiteral("Print the summary as JSON, on the last line.")),
            QCommandLineOption(reportName,
                               QStringLiteral("At the end, write a report of the run to FILE: "
                                              "its settings, times, tally and statistics."),
                               QStringLiteral("FILE")),
            QCommandLineOption(dataFolderName,
                               QStringLiteral("Folder of ports/ and SETUP.INI (default: the "
                                              "tester's data folder)."),
                               QStringLiteral("DIR")),
    });
}

QString modeOptionValue(PollMode mode)
{
    return mode == NegativeAck ? QStringLiteral("negative-ack") : QStringLiteral("normal");
}

std::optional<RunOptions> readRunOptions(const QCommandLineParser &parser, QString *error)
{
    if (const QStringList words = parser.positionalArguments(); !words.isEmpty()) {
        *error = QStringLiteral("\"%1\" is not an option").arg(words.first());
        return std::nullopt;
    }
    for (const QString &name : parser.optionNames()) {
        if (parser.optionNames().count(name) > 1) {
            *error = QStringLiteral("--%1 is given more than once").arg(name);
            return std::nullopt;
        }
    }

    RunOptions options;
    options.dataFolder = parser.isSet(dataFolderName) ? parser.value(dataFolderName) : dataFolder();
    if (const QString problem = folderProblem(options.dataFolder); !problem.isEmpty()) {
        *error = QStringLiteral("--data-folder: %1").arg(problem);
        return std::nullopt;
    }
    const QString setupPath = setupFilePath(options.dataFolder);
    SetupSettings settings;
    QString unreadable;
    if (const std::optional<QString> text = loadSetupFile(setupPath, &unreadable)) {
        settings = parseSetupText(*text, HighColour);
    } else if (!unreadable.isEmpty()) {
        *error = QStringLiteral("cannot read the settings %1: %2").arg(setupPath, unreadable);
        return std::nullopt;
    }
    options.interval = settings.pollRate;
    options.channelValues = settings.channelValues;
    options.channelStates = settings.channelStates;

    const std::optional<qint64> port = Numbers::parseWhole(parser.value(comName), 1, highestComPort);
    if (!port) {
        *error = QStringLiteral("give the validator's port: --com N, N from 1 to %1")
                         .arg(highestComPort);
        return std::nullopt;
    }
    options.comPort = int(*port);
    const std::optional<double> interval = Numbers::parsePlain(
            parser.isSet(intervalName) ? parser.value(intervalName) : options.interval);
    if (!interval || *interval < TesterModel::shortestInterval
        || *interval > TesterModel::longestInterval) {
        *error = parser.isSet(intervalName)
                         ? QStringLiteral("--interval needs a poll interval from 30 to 65535 ms")
                         : QStringLiteral("%1: Poll.Rate \"%2\" is not a poll interval from 30 "
                                          "to 65535 ms: give --interval MS")
                                   .arg(setupPath, printableValue(options.interval));
        return std::nullopt;
    }
    // The whole number the run polls at, so that the run reads it as it was read here.
    options.interval = QString::number(int(Numbers::roundHalfEven(*interval)));
    if (parser.isSet(pollsName) && parser.isSet(secondsName)) {
        *error = QStringLiteral("give --polls or --seconds, not both");
        return std::nullopt;
    }
    if (parser.isSet(pollsName)) {
        const std::optional<qint64> polls = Numbers::parseWhole(parser.value(pollsName), 1,
                                                                std::numeric_limits<int>::max());
        if (!polls) {
            *error = QStringLiteral("--polls needs a whole number from 1 to %1")
                             .arg(std::numeric_limits<int>::max());
            return std::nullopt;
        }
        options.polls = int(*polls);
    }
    if (parser.isSet(secondsName)) {
        const std::optional<double> seconds = Numbers::parsePlain(parser.value(secondsName));
        options.milliseconds = seconds && *seconds <= longestSeconds ? qRound64(*seconds * 1000)
                                                                     : 0;
        if (options.milliseconds < 1) {
            *error = QStringLiteral("--seconds needs a time from 0.001 to %1")
                             .arg(longestSeconds, 0, 'f', 0);
            return std::nullopt;
        }
    }
    const QString mode = parser.value(modeName);
    if (mode == QLatin1String("negative-ack")) {
        options.mode = NegativeAck;
    } else if (!mode.isEmpty() && mode != QLatin1String("normal")) {
        *error = QStringLiteral("--mode is normal or negative-ack");
        return std::nullopt;
    }
    if (parser.isSet(channelsName)
        && !readChannels(parser.value(channelsName), options.channelStates)) {
        *error = QStringLiteral("--channels needs seven digits 0 or 1, channel 1 first");
        return std::nullopt;
    }
    options.escrow = !parser.isSet(noEscrowName);
    options.json = parser.isSet(jsonName);
    options.reportPath = parser.value(reportName);
    if (parser.isSet(reportName) && options.reportPath.isEmpty()) {
        *error = QStringLiteral("--report needs a file name");
        return std::nullopt;
    }
    return options;
}
