// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/linereader.h"

#include <QSocketNotifier>

#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

LineReader::LineReader(int fd, QObject *parent)
    : QObject(parent)
    , fd(fd)
{
#ifdef Q_OS_UNIX
    notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &LineReader::readAvailable);
#endif
}

void LineReader::readAvailable()
{
#ifdef Q_OS_UNIX
    char buffer[1024];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n > 0) {
        partial.append(buffer, n);
        qsizetype end;
        while ((end = partial.indexOf('\n')) >= 0) {
            const QByteArray line = partial.left(end);
            partial.remove(0, end + 1);
            emit lineRead(QString::fromLocal8Bit(line));
        }
        return;
    }
    notifier->setEnabled(false);
    if (!partial.isEmpty())
        emit lineRead(QString::fromLocal8Bit(std::exchange(partial, {})));
    emit finished();
#endif
}
