#include "scriptplayer.h"

#include "console.h"

#include <QFile>

ScriptPlayer::ScriptPlayer(Console &console, QObject *parent)
    : QObject(parent)
    , m_console(console)
{
    m_wait.setSingleShot(true);
    m_wait.setTimerType(Qt::PreciseTimer);
    connect(&m_wait, &QTimer::timeout, this, &ScriptPlayer::playOn);
}

bool ScriptPlayer::load(const QString &path, QString *errorText)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *errorText = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    m_lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    return true;
}

void ScriptPlayer::start()
{
    m_next = 0;
    m_stopped = false;
    playOn();
}

void ScriptPlayer::stop()
{
    m_stopped = true;
    m_wait.stop();
}

void ScriptPlayer::playOn()
{
    while (!m_stopped && m_next < m_lines.size()) {
        const QString line = m_lines[m_next++].simplified();
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.value(0).toLower() != QLatin1String("wait")) {
            m_console.execute(line);
            continue;
        }
        bool ok = false;
        const int ms = words.size() == 2 ? words[1].toInt(&ok) : -1;
        if (!ok || ms < 0) {
            emit error(QStringLiteral("wait: give a time in milliseconds"));
            continue;
        }
        m_wait.start(ms);
        return;
    }
    if (!m_stopped)
        emit finished();
}
