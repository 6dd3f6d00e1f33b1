#pragma once

#include <QObject>
#include <QTimer>

class QSocketNotifier;

// A repeating timer whose ticks keep to the millisecond grid of their start. Qt's timers wait
// in whole milliseconds, rounded up from the moment the event loop goes to sleep, so each tick
// comes up to a millisecond late and a period between two ticks varies by up to a millisecond
// either way. Where the system offers a timer of its own (a timerfd on Linux) the ticks come from
// it, on time to the kernel's precision; elsewhere from a precise Qt timer. Ticks missed while
// the program was busy are raised once, as Qt's timers do.
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

signals:
    void timeout();

private:
    void readTicks();

    int descriptor = -1;
    QSocketNotifier *notifier = nullptr;
    QTimer fallback;
    bool active = false;
};
