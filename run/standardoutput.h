// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

// Standard output that never holds up the poll cycle. Lines queue and go out as fast as the
// reader takes them; once a reader that does not keep up leaves `bound` bytes queued, further
// lines are dropped and counted; a reader that has gone (a closed pipe) ends the printing, not
// the program. Where the output cannot be written without waiting (a regular file, or a system
// without the means), each line is written at once, as a file takes it without delay.
class StandardOutput : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype bound = 1 << 20;

    explicit StandardOutput(QObject *parent = nullptr);
    ~StandardOutput() override;

    // Queues `text` and a line end; `mayDrop` false for what must not be lost to a slow reader.
    void write(const QString &text, bool mayDrop = true);
    // Writes what is queued, waiting for the reader as long as it takes: at the program's end.
    void flush();
    qint64 linesDropped() const { return dropped; }
    bool readerGone() const { return gone; }

private:
    void writeQueued();

    int descriptor = 1;
    bool ownDescriptor = false; // opened anew, without waiting: queued and written as it can
    QSocketNotifier *notifier = nullptr;
    QByteArray queue;
    qint64 dropped = 0;
    bool gone = false;
};
