// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/programrun.h"

#include "bench/validatorrig.h"
#include "settings/file/setupfile.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <unistd.h>

namespace {

// The run switch of the 800 x 600 layout: 52 x 44 pixels at (664, 16) in the window.
constexpr int startX = 664 + 52 / 2;
constexpr int startY = 16 + 44 / 2;
// Measuring begins once start-up work has settled.
constexpr int settleMs = 2000;

// The high-colour layout on COM1 with every channel enabled.
QByteArray setupFile(int intervalMs)
{
    SetupSettings settings = SetupSettings::defaults(HighColour);
    settings.pollRate = QString::number(intervalMs);
    return formatSetup(settings);
}

} // namespace

ProgramRun::ProgramRun(ValidatorRig &validator, const QString &testerProgram, int intervalMs,
                       qsizetype frameCount, int costSeconds, QObject *parent)
    : QObject(parent)
    , rig(validator)
    , program(testerProgram)
    , interval(intervalMs)
    , frames(frameCount)
    , seconds(costSeconds)
{
    searchTimer.setInterval(10);
    searchTimer.setSingleShot(true);
    costTimer.setSingleShot(true);
    connect(&searchTimer, &QTimer::timeout, this, &ProgramRun::lookForWindow);
    connect(&xdotool, &QProcess::finished, this, &ProgramRun::windowSearched);
    connect(&validator, &ValidatorRig::frameReceived, this, &ProgramRun::frameReceived);
    connect(&tester, &QProcess::finished, this, [this] {
        if (stopping)
            emit finished();
        else
            fail(QStringLiteral("the program ended early: %1")
                         .arg(QString::fromLocal8Bit(tester.readAllStandardError())));
    });
}

QString ProgramRun::missing(const QString &program)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return QStringLiteral("no X display (run under xvfb-run)");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        return QStringLiteral("no xdotool");
    if (!QFile::exists(program))
        return QStringLiteral("no program at %1").arg(program);
    return {};
}

void ProgramRun::start()
{
    const QString copy = rig.configHome() + QStringLiteral("/bin/brisvel");
    QFile setup(rig.folder() + QStringLiteral("/SETUP.INI"));
    if (!QDir(rig.configHome()).mkpath(QStringLiteral("bin")) || !QFile::copy(program, copy)
        || !setup.open(QIODevice::WriteOnly) || setup.write(setupFile(interval)) < 0) {
        fail(QStringLiteral("cannot prepare %1").arg(rig.folder()));
        return;
    }
    setup.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // The copy is outside a build tree: its data folder is `brisvel` in its configuration home.
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), rig.configHome());
    tester.setProcessEnvironment(environment);
    tester.setWorkingDirectory(rig.folder());
    startedAt = rig.now();
    tester.start(copy, {});
    searchTimer.start();
}

void ProgramRun::lookForWindow()
{
    xdotool.start(QStringLiteral("xdotool"),
                  {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                   QStringLiteral("--pid"), QString::number(tester.processId())});
}

void ProgramRun::windowSearched()
{
    if (clickedAt > 0)
        return;
    const QByteArray window = xdotool.readAllStandardOutput().trimmed().split('\n').first();
    if (window.isEmpty()) {
        if (rig.now() - startedAt > 30'000'000'000LL)
            fail(QStringLiteral("the window did not show within 30 s"));
        else
            searchTimer.start();
        return;
    }
    measured.windowMs = double(rig.now() - startedAt) / 1e6;
    clickedAt = rig.now();
    xdotool.start(QStringLiteral("xdotool"),
                  {QStringLiteral("mousemove"), QStringLiteral("--window"),
                   QString::fromLatin1(window), QString::number(startX), QString::number(startY),
                   QStringLiteral("click"), QStringLiteral("1")});
    QTimer::singleShot(settleMs, this, &ProgramRun::sampleStart);
}

void ProgramRun::sampleStart()
{
    cpuAtStart = cpuSeconds();
    connect(&costTimer, &QTimer::timeout, this, [this] {
        measured.cpuShare = (cpuSeconds() - cpuAtStart) / seconds;
        measured.rssMiB = statusMiB("VmRSS:");
        measured.peakRssMiB = statusMiB("VmHWM:");
        costDone = true;
        finish();
    });
    costTimer.start(seconds * 1000);
}

void ProgramRun::frameReceived(qsizetype count)
{
    if (count == 1) {
        measured.startupMs = double(rig.frameTimes().first() - startedAt) / 1e6;
        measured.clickToFrameMs = double(rig.frameTimes().first() - clickedAt) / 1e6;
    }
    if (count >= frames && !framesDone) {
        framesDone = true;
        finish();
    }
}

void ProgramRun::finish()
{
    if (!framesDone || !costDone || !failure.isEmpty())
        return;
    stop();
}

void ProgramRun::fail(const QString &text)
{
    if (!failure.isEmpty())
        return;
    failure = text;
    stop();
}

void ProgramRun::stop()
{
    disconnect(&rig, nullptr, this, nullptr);
    searchTimer.stop();
    costTimer.stop();
    if (stopping)
        return;
    stopping = true;
    if (tester.state() == QProcess::NotRunning)
        emit finished();
    else
        tester.terminate();
}

double ProgramRun::cpuSeconds() const
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(tester.processId()));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // The fields after the command name, which is in parentheses: utime and stime are the 12th
    // and 13th of them, in clock ticks.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double ticks = double(sysconf(_SC_CLK_TCK));
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / ticks;
}

double ProgramRun::statusMiB(const char *field) const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(tester.processId()));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toDouble()
                   / 1024;
    }
    return 0;
}
