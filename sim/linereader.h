// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

// Reads text lines from a file descriptor (standard input) as they come, in the event loop.
// POSIX only; elsewhere it reads nothing.
class LineReader : public QObject
{
    Q_OBJECT

public:
    explicit LineReader(int fd, QObject *parent = nullptr);

signals:
    void lineRead(const QString &line);
    // End of input; a last line without a newline has been delivered.
    void finished();

private:
    void readAvailable();

    int fd;
    QSocketNotifier *notifier = nullptr;
    QByteArray partial;
};
