// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/model/polltimer.h"

#include <QSocketNotifier>

#include <limits>

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

// Takes the ticks that fell due since the last call: the timer counts them itself.
qint64 takeSystemTicks(int descriptor)
{
#ifdef Q_OS_LINUX
    quint64 ticks = 0;
    return read(descriptor, &ticks, sizeof ticks) == sizeof ticks ? qint64(ticks) : 0;
#else
    Q_UNUSED(descriptor);
    return 0;
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
        connect(&fallback, &QTimer::timeout, this, [this] {
            // Qt raises one timeout for any number of periods passed: the clock tells how many.
            const qint64 due = (sinceStart.nsecsElapsed() + periodNs / 2) / periodNs;
            takeTicks(qMax<qint64>(1, due - ticksTaken));
        });
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
    periodNs = qint64(period) * 1000000;
    ticksTaken = 0;
    // The clock starts before the timer, so that no tick is ever found early.
    sinceStart.start();
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
    if (const qint64 ticks = takeSystemTicks(descriptor); ticks > 0)
        takeTicks(ticks);
}

void PollTimer::takeTicks(qint64 ticks)
{
    ticksTaken += ticks;
    const qint64 late = sinceStart.nsecsElapsed() - ticksTaken * periodNs;
    const bool onTime = late <= periodNs / 4 || (neededNs > 0 && periodNs - late >= neededNs);
    const qint64 missedTicks = ticks - (onTime ? 1 : 0);
    if (missedTicks > 0)
        emit missed(int(qMin<qint64>(missedTicks, std::numeric_limits<int>::max())));
    // A slot of `missed` may have stopped the timer.
    if (onTime && active)
        emit timeout();
}
