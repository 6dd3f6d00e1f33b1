// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a signal delivered in the event loop (through a
// self-pipe), so that the program can shut down and clean up normally. One instance at a time;
// POSIX only, elsewhere it watches nothing.
class SignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

signals:
    void signalled(int number);

private:
    void readPipe();

    QSocketNotifier *notifier = nullptr;
};
