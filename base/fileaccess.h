// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

class QFile;

// A file read whole up to a bound, or why it was not.
struct FileRead
{
    enum Outcome { Read, Missing, Refused };

    Outcome outcome = Missing;
    QByteArray bytes; // at most the bound
    bool cut = false; // the file holds more than the bound
    QString reason; // when refused: the system's reason, or what the path leads to instead
};

// Reads at most `limit` bytes of the regular file at `path`, links followed. Anything else (a
// folder, a named pipe, a device) is refused without being opened, so that nothing waits for a
// writer or reads for ever. A path that leads nowhere, a dangling link included, is missing.
FileRead readRegularFile(const QString &path, qint64 limit);

// Opens `file`, named, to write text from its start, made or emptied as QFile would, except that
// a named pipe that nothing reads is refused at once instead of waited on. A pipe or a terminal
// with a reader (/dev/stdout) works as a file does.
bool openTextForWriting(QFile &file, QString *reason);

// Why `folder` is not a folder to use ("/x does not exist", "/x is not a folder"); empty when it
// is one.
QString folderProblem(const QString &folder);
