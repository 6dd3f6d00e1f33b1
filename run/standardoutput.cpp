// SPDX-License-Identifier: GPL-3.0-or-later
#include "run/standardoutput.h"

#include <QSocketNotifier>
#include <QString>

#include <cerrno>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Standard output opened a second time, for writes that never wait: a pipe, a FIFO or a
// terminal. The descriptor is the program's own, so the reader's and the shell's are left as
// they are. -1 where that is not possible or not needed.
int openWithoutWaiting()
{
#ifdef Q_OS_LINUX
    struct stat status;
    if (fstat(STDOUT_FILENO, &status) != 0 || !(S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode)))
        return -1;
    return open("/proc/self/fd/1", O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
#else
    return -1;
#endif
}

// A reader that has gone is told by EPIPE, not by a signal that ends the program.
void ignoreBrokenPipes()
{
#ifdef Q_OS_UNIX
    signal(SIGPIPE, SIG_IGN);
#endif
}

void setWaiting(int descriptor)
{
#ifdef Q_OS_UNIX
    const int flags = fcntl(descriptor, F_GETFL);
    if (flags >= 0)
        fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
#else
    Q_UNUSED(descriptor);
#endif
}

// Bytes written, 0 when the reader cannot take any now, -1 when it has gone or failed.
qsizetype writeSome(int descriptor, const QByteArray &bytes)
{
#ifdef Q_OS_UNIX
    for (;;) {
        const ssize_t written = ::write(descriptor, bytes.constData(), size_t(bytes.size()));
        if (written >= 0)
            return qsizetype(written);
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
#else
    Q_UNUSED(descriptor);
    const size_t written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
    return written == size_t(bytes.size()) ? bytes.size() : -1;
#endif
}

} // namespace

StandardOutput::StandardOutput(QObject *parent)
    : QObject(parent)
{
    ignoreBrokenPipes();
    if (const int own = openWithoutWaiting(); own >= 0) {
        descriptor = own;
        ownDescriptor = true;
        notifier = new QSocketNotifier(descriptor, QSocketNotifier::Write, this);
        notifier->setEnabled(false);
        connect(notifier, &QSocketNotifier::activated, this, &StandardOutput::writeQueued);
    }
}

StandardOutput::~StandardOutput()
{
    flush();
#ifdef Q_OS_UNIX
    if (ownDescriptor) {
        delete notifier;
        close(descriptor);
    }
#endif
}

void StandardOutput::write(const QString &text, bool mayDrop)
{
    if (gone)
        return;
    const QByteArray line = (text + QLatin1Char('\n')).toUtf8();
    if (mayDrop && queue.size() + line.size() > bound) {
        ++dropped;
        return;
    }
    queue += line;
    if (!ownDescriptor)
        flush();
    else if (!notifier->isEnabled())
        writeQueued();
}

void StandardOutput::writeQueued()
{
    while (!queue.isEmpty()) {
        const qsizetype written = writeSome(descriptor, queue);
        if (written < 0) {
            gone = true;
            queue.clear();
            break;
        }
        if (written == 0)
            break;
        queue.remove(0, written);
    }
    if (notifier)
        notifier->setEnabled(!queue.isEmpty());
}

void StandardOutput::flush()
{
    if (ownDescriptor) {
        if (notifier)
            notifier->setEnabled(false);
        setWaiting(descriptor);
    }
    writeQueued();
}
