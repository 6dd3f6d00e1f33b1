// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/commandline.h"
#include "base/fileaccess.h"
#include "base/signalwatcher.h"
#include "link/qtserialline.h"
#include "run/conformancesession.h"
#include "run/headlessrun.h"
#include "run/runoptions.h"
#include "run/runreport.h"
#include "run/standardoutput.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

void printLine(FILE *stream, const QString &text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brisvel-run"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BRISVEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
            QStringLiteral("Runs the Brisvel tester without a window: polls the validator on a "
                           "serial port, prints every exchange as it settles and a summary at "
                           "the end. Exit status: 0 every frame was answered, 1 some frame got "
                           "no reply or was not sent when due (with --conformance: a rule was "
                           "broken), 2 the port failed, 3 the command line is wrong, 4 the report "
                           "could not be written. Without --polls or --seconds it runs until "
                           "interrupted."));
    parser.addHelpOption();
    parser.addVersionOption();
    addRunOptions(parser);
    addConformanceOptions(parser);
    if (const std::optional<int> status = CommandLine::parse(parser))
        return *status;
    QString error;
    const std::optional<RunOptions> options = readRunOptions(parser, &error);
    ConformanceOptions conformance;
    if (!options || !readConformanceOptions(parser, *options, &conformance, &error))
        return CommandLine::refuse(error);

    // The report's file is opened before the run, so that a wrong path stops it at once.
    QFile report(options->reportPath);
    if (QString reason; !options->reportPath.isEmpty() && !openTextForWriting(report, &reason)) {
        return CommandLine::refuse(
                QStringLiteral("cannot write the report %1: %2").arg(options->reportPath, reason));
    }

    // The output and the line are declared first: the run goes before what it writes and polls.
    // What the run prints is written off its poll path, whatever the reader does; what stands
    // queued at the end is written then.
    StandardOutput out;
    QtSerialLine line(options->dataFolder);
    SignalWatcher signalWatcher;
    if (conformance.on) {
        ConformanceSession session(*options, conformance, &line);
        QObject::connect(&session, &ConformanceSession::output, &session,
                         [&out](const QString &text) { out.write(text, false); });
        QObject::connect(&session, &ConformanceSession::error, &session,
                         [](const QString &text) { printLine(stderr, text); });
        QObject::connect(&session, &ConformanceSession::finished, &app, &QCoreApplication::exit,
                         Qt::QueuedConnection);
        QObject::connect(&signalWatcher, &SignalWatcher::signalled, &session,
                         &ConformanceSession::stop);
        session.start();
        return app.exec();
    }
    HeadlessRun run(*options, &line);
    run.countDroppedLinesWith([&out] { return out.linesDropped(); });
    QObject::connect(&run, &HeadlessRun::output, &run,
                     [&out](const QString &text) { out.write(text); });
    QObject::connect(&run, &HeadlessRun::summary, &run,
                     [&out](const QString &text) { out.write(text, false); });
    QObject::connect(&run, &HeadlessRun::error, &run,
                     [](const QString &text) { printLine(stderr, text); });
    QObject::connect(&run, &HeadlessRun::finished, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);
    QObject::connect(&signalWatcher, &SignalWatcher::signalled, &run, &HeadlessRun::stop);

    run.start();
    const int exitCode = app.exec();
    if (report.isOpen()) {
        const QByteArray text = runReport(*options, run).toUtf8();
        if (report.write(text) != text.size() || !report.flush()) {
            printLine(stderr, QStringLiteral("brisvel-run: cannot write the report %1: %2")
                                      .arg(options->reportPath, report.errorString()));
            return HeadlessRun::ReportError;
        }
    }
    out.flush();
    return exitCode;
}
