// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

class Console;

// Plays console commands from a script; "wait MS" pauses the script, not the simulator.
class ScriptPlayer : public QObject
{
    Q_OBJECT

public:
    explicit ScriptPlayer(Console &console, QObject *parent = nullptr);

    bool load(const QString &path, QString *errorText);
    void setLines(const QStringList &lines) { this->lines = lines; }
    // Runs the commands up to the first wait at once, the rest as the waits run out.
    void start();
    void stop();
    bool waiting() const { return waitTimer.isActive(); }

signals:
    void finished();
    void error(const QString &text);

private:
    void playOn();

    Console &console;
    QStringList lines;
    qsizetype nextLine = 0;
    bool stopped = false;
    QTimer waitTimer;
};
