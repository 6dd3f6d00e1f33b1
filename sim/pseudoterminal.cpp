#include "pseudoterminal.h"

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

PseudoTerminal::PseudoTerminal(QObject *parent)
    : QIODevice(parent)
{ }

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::available()
{
#ifdef Q_OS_UNIX
    return true;
#else
    return false;
#endif
}

bool PseudoTerminal::fail(const char *step)
{
#ifdef Q_OS_UNIX
    setErrorString(QStringLiteral("%1: %2").arg(QLatin1String(step), qt_error_string(errno)));
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
#else
    setErrorString(QLatin1String(step));
#endif
    m_slave = m_master = -1;
    return false;
}

#ifdef Q_OS_UNIX

bool PseudoTerminal::openPair()
{
    if (isOpen())
        return true;
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return fail("posix_openpt");
    if (grantpt(m_master) != 0)
        return fail("grantpt");
    if (unlockpt(m_master) != 0)
        return fail("unlockpt");
    const char *name = ptsname(m_master);
    if (!name)
        return fail("ptsname");
    m_slaveName = QString::fromLocal8Bit(name);

    // Raw mode: the frames' bytes pass unchanged, with no echo and no line editing.
    termios settings{};
    if (tcgetattr(m_master, &settings) != 0)
        return fail("tcgetattr");
    cfmakeraw(&settings);
    if (tcsetattr(m_master, TCSANOW, &settings) != 0)
        return fail("tcsetattr");
    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl");
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return fail("open slave");

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PseudoTerminal::readMaster);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PseudoTerminal::writeMaster);
    return QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
}

void PseudoTerminal::readMaster()
{
    char buffer[4096];
    qint64 total = 0;
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            m_incoming.append(buffer, n);
            total += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            // Cannot happen while the slave is held open; stop rather than spin.
            m_readNotifier->setEnabled(false);
        }
        break;
    }
    if (total > 0)
        emit readyRead();
}

void PseudoTerminal::writeMaster()
{
    while (!m_outgoing.isEmpty()) {
        const ssize_t n = ::write(m_master, m_outgoing.constData(), m_outgoing.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        m_outgoing.remove(0, n);
        emit bytesWritten(n);
    }
    m_writeNotifier->setEnabled(!m_outgoing.isEmpty());
}

qint64 PseudoTerminal::writeData(const char *data, qint64 size)
{
    m_outgoing.append(data, size);
    writeMaster();
    return size;
}

void PseudoTerminal::close()
{
    if (!isOpen())
        return;
    QIODevice::close();
    delete m_readNotifier;
    delete m_writeNotifier;
    m_readNotifier = m_writeNotifier = nullptr;
    ::close(m_slave);
    ::close(m_master);
    m_slave = m_master = -1;
    m_incoming.clear();
    m_outgoing.clear();
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
    const qint64 n = std::min<qint64>(maxSize, m_incoming.size());
    std::memcpy(data, m_incoming.constData(), size_t(n));
    m_incoming.remove(0, n);
    return n;
}

qint64 PseudoTerminal::bytesAvailable() const
{
    return m_incoming.size() + QIODevice::bytesAvailable();
}

qint64 PseudoTerminal::bytesToWrite() const
{
    return m_outgoing.size() + QIODevice::bytesToWrite();
}
