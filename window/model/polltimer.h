// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QSocketNotifier;

// A repeating timer whose ticks keep to the millisecond grid of their start. Qt's timers wait
// in whole milliseconds, rounded up from the moment the event loop goes to sleep, so each tick
// comes up to a millisecond late and a period between two ticks varies by up to a millisecond
// either way. Where the system offers a timer of its own (a timerfd on Linux) the ticks come from
// it, on time to the kernel's precision; elsewhere from a precise Qt timer.
//
// The ticks of the grid that the program was too busy to take (a stall, a pause of the process)
// are not made up for: they are reported as missed, and so is a tick taken late, more than a
// quarter of a period after its time, unless the time it needs is still left before the next
// one, so that what it starts does not go out just before the next tick.
class PollTimer : public QObject
{
    Q_OBJECT

public:
    explicit PollTimer(QObject *parent = nullptr);
    ~PollTimer() override;

    // Starts, or starts again, ticking every `milliseconds` (from 1) from now.
    void start(int milliseconds);
    void stop();
    bool isActive() const { return active; }
    // What a tick starts takes this long: a late tick is raised while that much of its period
    // is left.
    void setTimeNeeded(int milliseconds) { neededNs = qint64(milliseconds) * 1000000; }

signals:
    void timeout();
    // Ticks of the grid that fell due and were not raised.
    void missed(int ticks);

private:
    void readTicks();
    void takeTicks(qint64 ticks);

    int descriptor = -1;
    QSocketNotifier *notifier = nullptr;
    QTimer fallback;
    bool active = false;
    qint64 periodNs = 0;
    qint64 neededNs = 0;
    qint64 ticksTaken = 0; // since the start
    QElapsedTimer sinceStart;
};
