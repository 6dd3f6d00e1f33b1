#include "linereader.h"

#include <QSocketNotifier>

#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

LineReader::LineReader(int fd, QObject *parent)
    : QObject(parent)
    , m_fd(fd)
{
#ifdef Q_OS_UNIX
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &LineReader::readAvailable);
#endif
}

void LineReader::readAvailable()
{
#ifdef Q_OS_UNIX
    char buffer[1024];
    const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n > 0) {
        m_partial.append(buffer, n);
        qsizetype end;
        while ((end = m_partial.indexOf('\n')) >= 0) {
            const QByteArray line = m_partial.left(end);
            m_partial.remove(0, end + 1);
            emit lineRead(QString::fromLocal8Bit(line));
        }
        return;
    }
    m_notifier->setEnabled(false);
    if (!m_partial.isEmpty())
        emit lineRead(QString::fromLocal8Bit(std::exchange(m_partial, {})));
    emit finished();
#endif
}
