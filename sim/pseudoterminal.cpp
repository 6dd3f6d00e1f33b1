// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/pseudoterminal.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cstring>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <sys/ioctl.h>
#endif

PseudoTerminal::PseudoTerminal(QObject *parent)
    : QIODevice(parent)
{ }

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::fail(const char *step)
{
#ifdef Q_OS_UNIX
    setErrorString(QStringLiteral("%1: %2").arg(QLatin1String(step), qt_error_string(errno)));
    if (closeWatch >= 0)
        ::close(closeWatch);
    if (slave >= 0)
        ::close(slave);
    if (master >= 0)
        ::close(master);
#else
    setErrorString(QLatin1String(step));
#endif
    slave = master = closeWatch = -1;
    return false;
}

#ifdef Q_OS_UNIX

bool PseudoTerminal::openPair()
{
    if (isOpen())
        return true;
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        return fail("posix_openpt");
    if (grantpt(master) != 0)
        return fail("grantpt");
    if (unlockpt(master) != 0)
        return fail("unlockpt");
    const char *name = ptsname(master);
    if (!name)
        return fail("ptsname");
    slavePath = QString::fromLocal8Bit(name);

    // Raw mode: the frames' bytes pass unchanged, with no echo and no line editing.
    termios settings{};
    if (tcgetattr(master, &settings) != 0)
        return fail("tcgetattr");
    cfmakeraw(&settings);
    if (tcsetattr(master, TCSANOW, &settings) != 0)
        return fail("tcsetattr");
    const int flags = fcntl(master, F_GETFL);
    if (flags < 0 || fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl");
    fcntl(master, F_SETFD, FD_CLOEXEC);
    slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        return fail("open slave");
    madeSettings = settings;
#ifdef Q_OS_LINUX
    // The slave side is held open here, so the master never sees the tester's close: the file
    // system's close events tell it instead, also for a tester that was killed.
    closeWatch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (closeWatch < 0 || inotify_add_watch(closeWatch, name, IN_CLOSE) < 0)
        return fail("inotify");
    closeNotifier = new QSocketNotifier(closeWatch, QSocketNotifier::Read, this);
    connect(closeNotifier, &QSocketNotifier::activated, this, &PseudoTerminal::restoreLine);
#endif

    readNotifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
    connect(readNotifier, &QSocketNotifier::activated, this, &PseudoTerminal::readMaster);
    writeNotifier = new QSocketNotifier(master, QSocketNotifier::Write, this);
    writeNotifier->setEnabled(false);
    connect(writeNotifier, &QSocketNotifier::activated, this, &PseudoTerminal::writeMaster);
    return QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
}

// The settings and the exclusive use that a tester set stay with the line while this side holds
// it open; a tester that closed the line without undoing them (killed, or a serial layer that
// does not restore) would otherwise leave a line that the next tester cannot set up.
void PseudoTerminal::restoreLine()
{
    char events[4096];
    while (::read(closeWatch, events, sizeof events) > 0) { }
    tcsetattr(master, TCSANOW, &madeSettings);
#ifdef TIOCNXCL
    ::ioctl(slave, TIOCNXCL);
#endif
}

void PseudoTerminal::readMaster()
{
    char buffer[4096];
    qint64 total = 0;
    for (;;) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0) {
            incoming.append(buffer, n);
            total += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            // Cannot happen while the slave is held open; stop rather than spin.
            readNotifier->setEnabled(false);
        }
        break;
    }
    if (total > 0)
        emit readyRead();
}

void PseudoTerminal::writeMaster()
{
    while (!outgoing.isEmpty()) {
        const ssize_t n = ::write(master, outgoing.constData(), outgoing.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        outgoing.remove(0, n);
        emit bytesWritten(n);
    }
    writeNotifier->setEnabled(!outgoing.isEmpty());
}

qint64 PseudoTerminal::writeData(const char *data, qint64 size)
{
    outgoing.append(data, size);
    writeMaster();
    return size;
}

void PseudoTerminal::close()
{
    if (!isOpen())
        return;
    QIODevice::close();
    delete readNotifier;
    delete writeNotifier;
    delete closeNotifier;
    readNotifier = writeNotifier = closeNotifier = nullptr;
    if (closeWatch >= 0)
        ::close(closeWatch);
    ::close(slave);
    ::close(master);
    slave = master = closeWatch = -1;
    incoming.clear();
    outgoing.clear();
}

#else

bool PseudoTerminal::openPair()
{
    return fail("pseudo-terminals are not available on this platform");
}

qint64 PseudoTerminal::writeData(const char *, qint64)
{
    return -1;
}

void PseudoTerminal::close()
{
    QIODevice::close();
}

#endif

qint64 PseudoTerminal::readData(char *data, qint64 maxSize)
{
    const qint64 n = std::min<qint64>(maxSize, incoming.size());
    std::memcpy(data, incoming.constData(), size_t(n));
    incoming.remove(0, n);
    return n;
}

qint64 PseudoTerminal::bytesAvailable() const
{
    return incoming.size() + QIODevice::bytesAvailable();
}

qint64 PseudoTerminal::bytesToWrite() const
{
    return outgoing.size() + QIODevice::bytesToWrite();
}
