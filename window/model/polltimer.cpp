#include "polltimer.h"

#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace {

// The system's own repeating timer: a descriptor that turns readable at each tick, or -1.
int openSystemTimer()
{
#ifdef Q_OS_LINUX
    return timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
#else
    return -1;
#endif
}

void setSystemTimer(int descriptor, int milliseconds)
{
#ifdef Q_OS_LINUX
    const timespec every{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    const itimerspec setting{every, every};
    timerfd_settime(descriptor, 0, &setting, nullptr);
#else
    Q_UNUSED(descriptor);
    Q_UNUSED(milliseconds);
#endif
}

// Takes the ticks that fell due; true when there was at least one.
bool takeSystemTicks(int descriptor)
{
#ifdef Q_OS_LINUX
    quint64 ticks = 0;
    return read(descriptor, &ticks, sizeof ticks) == sizeof ticks && ticks > 0;
#else
    Q_UNUSED(descriptor);
    return false;
#endif
}

void closeSystemTimer(int descriptor)
{
#ifdef Q_OS_LINUX
    close(descriptor);
#else
    Q_UNUSED(descriptor);
#endif
}

} // namespace

PollTimer::PollTimer(QObject *parent)
    : QObject(parent)
    , descriptor(openSystemTimer())
{
    if (descriptor >= 0) {
        notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &PollTimer::readTicks);
    } else {
        fallback.setTimerType(Qt::PreciseTimer);
        connect(&fallback, &QTimer::timeout, this, &PollTimer::timeout);
    }
}

PollTimer::~PollTimer()
{
    if (descriptor >= 0) {
        delete notifier;
        closeSystemTimer(descriptor);
    }
}

void PollTimer::start(int milliseconds)
{
    const int period = qMax(1, milliseconds);
    active = true;
    if (descriptor < 0) {
        fallback.start(period);
        return;
    }
    // Setting the timer also drops the ticks of the count before.
    setSystemTimer(descriptor, period);
}

void PollTimer::stop()
{
    active = false;
    if (descriptor < 0) {
        fallback.stop();
        return;
    }
    setSystemTimer(descriptor, 0);
}

void PollTimer::readTicks()
{
    if (takeSystemTicks(descriptor))
        emit timeout();
}
