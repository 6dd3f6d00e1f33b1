// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/scriptplayer.h"

#include "sim/console.h"

#include <QFile>

ScriptPlayer::ScriptPlayer(Console &console, QObject *parent)
    : QObject(parent)
    , console(console)
{
    waitTimer.setSingleShot(true);
    waitTimer.setTimerType(Qt::PreciseTimer);
    connect(&waitTimer, &QTimer::timeout, this, &ScriptPlayer::playOn);
}

bool ScriptPlayer::load(const QString &path, QString *errorText)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *errorText = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    return true;
}

void ScriptPlayer::start()
{
    nextLine = 0;
    stopped = false;
    playOn();
}

void ScriptPlayer::stop()
{
    stopped = true;
    waitTimer.stop();
}

void ScriptPlayer::playOn()
{
    while (!stopped && nextLine < lines.size()) {
        const QString line = lines[nextLine++].simplified();
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.value(0).toLower() != QLatin1String("wait")) {
            console.execute(line);
            continue;
        }
        bool ok = false;
        const int ms = words.size() == 2 ? words[1].toInt(&ok) : -1;
        if (!ok || ms < 0) {
            emit error(QStringLiteral("wait: give a time in milliseconds"));
            continue;
        }
        waitTimer.start(ms);
        return;
    }
    if (!stopped)
        emit finished();
}
