// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/fileaccess.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
QString notARegularFile(mode_t mode)
{
    const char *kind = S_ISDIR(mode)                    ? "a folder"
                       : S_ISFIFO(mode)                 ? "a named pipe"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                       : S_ISSOCK(mode)                 ? "a socket"
                                                        : "something else";
    return QStringLiteral("not a regular file but %1").arg(QLatin1String(kind));
}

// The type is checked before the open, which could wait on a named pipe or set a device going;
// the open does not wait, and the type is checked again on what it opened, in case the path was
// replaced in between.
FileRead openRegular(const QString &path, QFile &file)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    if (::stat(name.constData(), &info) != 0)
        return {errno == ENOENT ? FileRead::Missing : FileRead::Refused,
                {},
                false,
                qt_error_string(errno)};
    if (!S_ISREG(info.st_mode))
        return {FileRead::Refused, {}, false, notARegularFile(info.st_mode)};
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {FileRead::Refused, {}, false, qt_error_string(errno)};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const QString why = S_ISREG(info.st_mode) ? qt_error_string(errno)
                                                  : notARegularFile(info.st_mode);
        ::close(fd);
        return {FileRead::Refused, {}, false, why};
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {FileRead::Refused, {}, false, file.errorString()};
    }
    return {FileRead::Read, {}, false, {}};
}
#else
FileRead openRegular(const QString &path, QFile &file)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {FileRead::Missing, {}, false, {}};
    if (!info.isFile())
        return {FileRead::Refused, {}, false, QStringLiteral("not a regular file")};
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return {FileRead::Refused, {}, false, file.errorString()};
    return {FileRead::Read, {}, false, {}};
}
#endif

} // namespace

FileRead readRegularFile(const QString &path, qint64 limit)
{
    QFile file;
    FileRead read = openRegular(path, file);
    if (read.outcome != FileRead::Read)
        return read;
    // In pieces, so that a small file never costs a buffer of the bound's size.
    constexpr qint64 piece = 64 * 1024;
    while (read.bytes.size() <= limit) {
        const QByteArray more = file.read(qMin(piece, limit + 1 - read.bytes.size()));
        if (more.isEmpty())
            break;
        read.bytes += more;
    }
    if (file.error() != QFileDevice::NoError)
        return {FileRead::Refused, {}, false, file.errorString()};
    read.cut = read.bytes.size() > limit;
    read.bytes.truncate(limit);
    return read;
}

bool openTextForWriting(QFile &file, QString *reason)
{
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(file.fileName());
    // Without O_NONBLOCK, opening a named pipe waits until a program opens it to read.
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC,
                          0666);
    if (fd < 0) {
        struct stat info;
        const int error = errno;
        *reason = error == ENXIO && ::stat(name.constData(), &info) == 0 && S_ISFIFO(info.st_mode)
                          ? QStringLiteral("a named pipe that no program reads")
                          : qt_error_string(error);
        return false;
    }
    // From here on a write waits for a slow reader, as it would on a pipe opened as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (file.open(fd, QIODevice::WriteOnly | QIODevice::Text, QFileDevice::AutoCloseHandle))
        return true;
    ::close(fd);
#else
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return true;
#endif
    *reason = file.errorString();
    return false;
}

QString folderProblem(const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return QStringLiteral("%1 does not exist").arg(folder);
    if (!info.isDir())
        return QStringLiteral("%1 is not a folder").arg(folder);
    return {};
}
