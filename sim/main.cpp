// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/commandline.h"
#include "base/datafolder.h"
#include "base/fileaccess.h"
#include "base/numbers.h"
#include "base/signalwatcher.h"
#include "link/comport.h"
#include "link/frame.h"
#include "link/qtserialline.h"
#include "sim/console.h"
#include "sim/linereader.h"
#include "sim/notefeeder.h"
#include "sim/portlink.h"
#include "sim/pseudoterminal.h"
#include "sim/recordreplay.h"
#include "sim/scriptplayer.h"
#include "sim/validatorengine.h"
#include "sim/validatorline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QTime>

#include <chrono>
#include <cstdio>
#include <limits>
#include <memory>

namespace {

// --misbehave response-time: replies complete some 60 ms after the command, far beyond the
// 19.8 ms of the line itself, and still well within a poll interval of 100 ms.
constexpr std::chrono::milliseconds slowBy{40};

void printLine(FILE *stream, const QString &text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stream);
    std::fflush(stream);
}

void logFrame(const char *direction, const QByteArray &bytes, const char *note = "")
{
    printLine(stderr,
              QStringLiteral("%1 %2 %3%4")
                      .arg(QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz")),
                           QLatin1String(direction), Frame::hexBytes(bytes), QLatin1String(note)));
}

int failWith(const QString &text)
{
    printLine(stderr, QStringLiteral("brisvel-validator-sim: %1").arg(text));
    return 1;
}

std::unique_ptr<QIODevice> openSerialDevice(const QString &path, QString *errorText)
{
    auto port = std::make_unique<QSerialPort>(path);
    const LineSettings line = *parseLineSettings(validatorLineSettings());
    port->setBaudRate(line.baud);
    port->setParity(line.parity);
    port->setDataBits(line.dataBits);
    port->setStopBits(line.stopBits);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite)) {
        *errorText = QStringLiteral("%1: %2").arg(path, port->errorString());
        return nullptr;
    }
    return port;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brisvel-validator-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BRISVEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
            QStringLiteral("Plays a banknote validator on a serial line for the Brisvel tester.\n"
                           "Commands, one a line on standard input or in a script: ")
            + Console::commandNames().join(QStringLiteral(", "))
            + QStringLiteral("; in scripts also wait MS.\n"
                             "Exit status: 0 ended by quit, hangup or a signal, 1 the line, its "
                             "link, the script or the record failed, 3 the command line is "
                             "wrong."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption ptyOption(
            QStringLiteral("pty"),
            QStringLiteral("Open a pseudo-terminal; print its slave path on the first line."));
    const QCommandLineOption comOption(
            QStringLiteral("com"),
            QStringLiteral("As --pty, and link it as COM N (ports/comN in the data folder)."),
            QStringLiteral("N"));
    const QCommandLineOption deviceOption(
            QStringLiteral("device"),
            QStringLiteral("Use a real serial device at 9600 baud, 7E1 (null-modem cable)."),
            QStringLiteral("PATH"));
    const QCommandLineOption dataFolderOption(
            QStringLiteral("data-folder"),
            QStringLiteral("Folder holding ports/ (default: the tester's data folder)."),
            QStringLiteral("DIR"));
    const QCommandLineOption scriptOption(
            QStringLiteral("script"),
            QStringLiteral("Play the commands of FILE, with wait MS between them."),
            QStringLiteral("FILE"));
    const QCommandLineOption autoOption(
            QStringLiteral("auto"),
            QStringLiteral("Insert a note of a random enabled channel every SECONDS."),
            QStringLiteral("SECONDS"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed of the random choice of --auto."),
                                        QStringLiteral("N"));
    const QCommandLineOption fastOption(
            QStringLiteral("fast"),
            QStringLiteral("Reply at once instead of when a real reply would have arrived."));
    const QCommandLineOption replayOption(
            QStringLiteral("replay"),
            QStringLiteral("Answer each command with the next reply of FILE, a traffic record "
                           "saved or recorded by the tester."),
            QStringLiteral("FILE"));
    const QCommandLineOption misbehaveOption(
            QStringLiteral("misbehave"),
            QStringLiteral("Break one rule of the protocol on purpose: ")
                    + ValidatorEngine::misbehaviourNames().join(QStringLiteral(", ")) + '.',
            QStringLiteral("RULE"));
    const QCommandLineOption verboseOption(
            QStringLiteral("verbose"),
            QStringLiteral("Print every frame received and sent on standard error."));
    parser.addOptions({ptyOption, comOption, deviceOption, dataFolderOption, scriptOption,
                       autoOption, seedOption, fastOption, replayOption, misbehaveOption,
                       verboseOption});
    if (const std::optional<int> status = CommandLine::parse(parser))
        return *status;
    if (const QStringList words = parser.positionalArguments(); !words.isEmpty())
        return CommandLine::refuse(QStringLiteral("\"%1\" is not an option").arg(words.first()));

    const int lineOptions = int(parser.isSet(ptyOption)) + int(parser.isSet(comOption))
                            + int(parser.isSet(deviceOption));
    if (lineOptions != 1)
        return CommandLine::refuse(QStringLiteral("give one of --pty, --com N or --device PATH"));
    const std::optional<qint64> comNumber = Numbers::parseWhole(parser.value(comOption), 1,
                                                                highestComPort);
    if (parser.isSet(comOption) && !comNumber) {
        return CommandLine::refuse(
                QStringLiteral("--com needs a port number from 1 to %1").arg(highestComPort));
    }
    const std::optional<double> autoSeconds = Numbers::parsePlain(parser.value(autoOption));
    if (parser.isSet(autoOption) && (!autoSeconds || *autoSeconds < 0.001 || *autoSeconds > 86400)) {
        return CommandLine::refuse(
                QStringLiteral("--auto needs a number of seconds from 0.001 to 86400"));
    }
    constexpr quint32 highestSeed = std::numeric_limits<quint32>::max();
    const std::optional<qint64> seed = parser.isSet(seedOption)
                                               ? Numbers::parseWhole(parser.value(seedOption), 0,
                                                                     highestSeed)
                                               : QRandomGenerator::global()->generate();
    if (!seed) {
        return CommandLine::refuse(
                QStringLiteral("--seed needs a whole number from 0 to %1").arg(highestSeed));
    }
    const bool verbose = parser.isSet(verboseOption);
    const bool replaying = parser.isSet(replayOption);
    if (replaying
        && (parser.isSet(scriptOption) || parser.isSet(autoOption) || parser.isSet(misbehaveOption)))
        return CommandLine::refuse(QStringLiteral(
                "--replay plays the record alone: no --script, --auto or --misbehave"));
    std::optional<ValidatorEngine::Misbehaviour> misbehaviour;
    if (parser.isSet(misbehaveOption)) {
        misbehaviour = ValidatorEngine::misbehaviourNamed(parser.value(misbehaveOption));
        if (!misbehaviour)
            return CommandLine::refuse(
                    QStringLiteral("--misbehave takes one of: ")
                    + ValidatorEngine::misbehaviourNames().join(QStringLiteral(", ")));
    }
    QString folder;
    if (comNumber) {
        folder = parser.isSet(dataFolderOption) ? parser.value(dataFolderOption) : dataFolder();
        if (const QString problem = folderProblem(folder); !problem.isEmpty())
            return CommandLine::refuse(QStringLiteral("--data-folder: %1").arg(problem));
    }
    RecordReplay replay;
    QString errorText;
    if (replaying && !replay.load(parser.value(replayOption), &errorText))
        return failWith(errorText);

    // Set up before the line opens, so that a signal at any later point still cleans up.
    SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &SignalWatcher::signalled, &app, &QCoreApplication::quit);

    std::unique_ptr<QIODevice> device;
    QString devicePath;
    if (parser.isSet(deviceOption)) {
        devicePath = parser.value(deviceOption);
        device = openSerialDevice(devicePath, &errorText);
        if (!device)
            return failWith(errorText);
    } else {
        auto pty = std::make_unique<PseudoTerminal>();
        if (!pty->openPair())
            return failWith(pty->errorString());
        devicePath = pty->slaveName();
        device = std::move(pty);
    }

    // Declared after the device: the link goes before the line it names.
    PortLink portLink;
    if (comNumber && !portLink.create(int(*comNumber), folder, devicePath, &errorText))
        return failWith(errorText);
    printLine(stdout, devicePath);

    ValidatorEngine engine;
    ValidatorLine line(replaying ? static_cast<ReplySource &>(replay) : engine, device.get());
    line.setFast(parser.isSet(fastOption));
    engine.setMisbehaviour(misbehaviour);
    if (misbehaviour == ValidatorEngine::Misbehaviour::ResponseTime)
        line.setExtraDelay(slowBy);
    if (verbose) {
        QObject::connect(&line, &ValidatorLine::received, &line,
                         [](const QByteArray &bytes, bool ok) {
                             logFrame("<-", bytes, ok ? "" : " (ignored)");
                         });
        QObject::connect(&line, &ValidatorLine::sent, &line,
                         [](const QByteArray &bytes) { logFrame("->", bytes); });
    }

    Console console(engine, line);
    QObject::connect(&console, &Console::output, &console,
                     [](const QString &text) { printLine(stdout, text); });
    QObject::connect(&console, &Console::error, &console,
                     [](const QString &text) { printLine(stderr, text); });
    QObject::connect(&console, &Console::quitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&console, &Console::hangUpRequested, &line, &ValidatorLine::hangUp);
    QObject::connect(&console, &Console::hangUpRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    LineReader input(0);
    if (replaying) {
        // The record decides every reply: only the commands about the run itself are taken.
        QObject::connect(&input, &LineReader::lineRead, &console, [&](const QString &text) {
            const QString command = text.trimmed().toLower();
            if (command == QLatin1String("status"))
                printLine(stdout, replay.status());
            else if (command == QLatin1String("quit") || command == QLatin1String("hangup"))
                console.execute(command);
            else if (!command.isEmpty() && !command.startsWith(QLatin1Char('#')))
                printLine(stderr, QStringLiteral("while replaying: status, hangup or quit"));
        });
    } else {
        QObject::connect(&input, &LineReader::lineRead, &console, &Console::execute);
    }

    ScriptPlayer script(console);
    QObject::connect(&script, &ScriptPlayer::error, &console, &Console::error);
    QObject::connect(&console, &Console::quitRequested, &script, &ScriptPlayer::stop);
    QObject::connect(&console, &Console::hangUpRequested, &script, &ScriptPlayer::stop);
    if (parser.isSet(scriptOption)) {
        if (!script.load(parser.value(scriptOption), &errorText))
            return failWith(errorText);
        script.start();
    }

    NoteFeeder feeder(engine, quint32(*seed));
    if (parser.isSet(autoOption)) {
        if (verbose) {
            QObject::connect(&feeder, &NoteFeeder::inserted, &feeder, [](int channel) {
                printLine(stderr, QStringLiteral("auto: insert %1").arg(channel));
            });
        }
        feeder.start(std::chrono::milliseconds(qRound64(*autoSeconds * 1000)));
    }

    if (auto *port = qobject_cast<QSerialPort *>(device.get())) {
        QObject::connect(
                port, &QSerialPort::errorOccurred, port, [&](QSerialPort::SerialPortError e) {
                    if (e == QSerialPort::ResourceError) {
                        printLine(stderr,
                                  QStringLiteral("%1: %2").arg(devicePath, port->errorString()));
                        QCoreApplication::exit(1);
                    }
                });
    }

    return app.exec();
}
