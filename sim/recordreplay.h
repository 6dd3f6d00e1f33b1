// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/replysource.h"

#include <QString>
#include <QStringList>

// Plays a saved traffic record of the tester back: each command gets the reply of the record's
// next frame sent, with any second reply recorded after it. A frame recorded with the
// no-response line, or with no reply yet, gets no reply; one recorded with a bad checksum or a bad
// frame gets the bytes as they came. After the record's last frame, commands get no reply.
class RecordReplay : public ReplySource
{
public:
    // Only a regular file, of at most 64 MiB: a named pipe or a device is never opened.
    bool load(const QString &path, QString *error);
    // The lines of a record, as saved or as brisvel-run prints them; lines starting with '#' and
    // blank lines are skipped, and so is the runner's summary after the record. A line that
    // would not replay as recorded (a column cut short or damaged) and a record with no exchange
    // are refused.
    bool parse(const QStringList &lines, QString *error);

    // Commands that were not the frame of the record they were answered from.
    int differing() const { return differingCommands; }
    // "replayed 3 of 10 frames, 0 differed from the record"
    QString status() const;

protected:
    Exchange respond(const QByteArray &command) override;

private:
    struct Step
    {
        QByteArray command;
        QByteArray reply;
        QList<QByteArray> laterReplies;
    };

    QList<Step> steps;
    qsizetype next = 0;
    int differingCommands = 0;
};
