// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/soak.h"

#include "base/numbers.h"
#include "link/comport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

constexpr int notesEvery = 8; // polls between insertions
constexpr qsizetype quietPolls = 200; // at the end, without insertions
constexpr qsizetype firstPolls = 1000;
constexpr int replyPatienceMs = 200;

} // namespace

Soak::Soak(const QString &simulatorProgram, qsizetype pollCount, QObject *parent)
    : QObject(parent)
    , simulatorPath(simulatorProgram)
    , polls(pollCount)
    , serial(dataFolder.path())
    , model(&serial)
{
    watchdog.setSingleShot(true);
    watchdog.setInterval(replyPatienceMs);
    connect(&watchdog, &QTimer::timeout, this, &Soak::sendNext);
    connect(&simulator, &QProcess::readyReadStandardOutput, this, &Soak::simulatorOutput);
    connect(&simulator, &QProcess::finished, this, [this] {
        if (running)
            fail(QStringLiteral("the simulator ended early"));
        emit finished();
    });
    connect(&simulator, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            fail(QStringLiteral("cannot start %1").arg(simulatorPath));
    });
    connect(&model, &TesterModel::logChanged, this, &Soak::replyHandled);
    connect(&model, &TesterModel::portFailed, this,
            [this](const QString &message, const QString &detail) {
                fail(message + QLatin1Char('\n') + detail);
            });
}

void Soak::start()
{
    QDir().mkpath(dataFolder.path() + QStringLiteral("/ports"));
    simulator.setStandardErrorFile(QProcess::nullDevice());
    simulator.start(simulatorPath, {QStringLiteral("--pty"), QStringLiteral("--fast")});
    running = true;
}

void Soak::simulatorOutput()
{
    simulatorText += simulator.readAllStandardOutput();
    if (!model.panel().runSwitch && measured.polls == 0 && simulatorText.contains('\n')) {
        // The first line is the pseudo-terminal's slave side.
        const QString slave = QString::fromLocal8Bit(
                simulatorText.left(simulatorText.indexOf('\n')));
        simulatorText.remove(0, simulatorText.indexOf('\n') + 1);
        if (!QFile::link(slave, comPortLink(1, dataFolder.path()))) {
            fail(QStringLiteral("cannot link COM1 to %1").arg(slave));
            return;
        }
        SetupSettings settings; // COM1, every channel enabled
        settings.pollRate = QStringLiteral("65535"); // the timer never ticks: replies pace
        model.applySettings(settings);
        model.markPortForReopen();
        model.setEscrow(true);
        model.ValueChg();
        model.clickModeButton();
        clock.start();
        model.setRunSwitch(true);
        measured.polls = 1;
        watchdog.start();
        return;
    }
    static const QRegularExpression status(QStringLiteral("stacked (\\d+)"));
    const QRegularExpressionMatch match = status.match(QString::fromLatin1(simulatorText));
    if (!running && measured.stackedBySimulator < 0 && match.hasMatch()) {
        measured.stackedBySimulator = match.captured(1).toInt();
        simulator.write("quit\n");
    }
}

void Soak::replyHandled()
{
    // logChanged follows sends too: only a good reply since the last send moves on.
    if (!running || !model.members().replyReceived || watchdog.remainingTime() < 0)
        return;
    watchdog.stop();
    QTimer::singleShot(0, this, &Soak::sendNext);
}

void Soak::sendNext()
{
    if (!running)
        return;
    if (measured.polls == firstPolls)
        measured.rssAfterFirstMiB = rssMiB();
    if (measured.polls >= polls) {
        running = false;
        model.setRunSwitch(false);
        model.closePort(); // before the simulator goes, taking the line with it
        measured.seconds = double(clock.nsecsElapsed()) / 1e9;
        measured.rssAtEndMiB = rssMiB();
        measured.counted = int(
                Numbers::parsePlain(model.tally().quantity(NoteTally::totalRow)).value_or(-1));
        simulator.write("status\n");
        return;
    }
    if (!model.members().replyReceived)
        ++measured.noResponse;
    if (measured.polls % notesEvery == 0 && measured.polls < polls - quietPolls)
        simulator.write(QByteArray("insert ") + QByteArray::number(random.bounded(1, 8)) + '\n');
    ++measured.polls;
    model.SendCommand();
    watchdog.start();
}

void Soak::fail(const QString &text)
{
    if (!failure.isEmpty())
        return;
    failure = text;
    running = false;
    watchdog.stop();
    if (simulator.state() == QProcess::NotRunning)
        emit finished();
    else
        simulator.kill();
}

double Soak::rssMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return 0;
}
