// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/signalwatcher.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
int selfPipe[2] = {-1, -1};
constexpr int watched[] = {SIGINT, SIGTERM, SIGHUP};

void handle(int number)
{
    // Only async-signal-safe calls here.
    const int savedErrno = errno;
    const char byte = char(number);
    [[maybe_unused]] const ssize_t n = ::write(selfPipe[1], &byte, 1);
    errno = savedErrno;
}
#endif

} // namespace

SignalWatcher::SignalWatcher(QObject *parent)
    : QObject(parent)
{
#ifdef Q_OS_UNIX
    if (::pipe(selfPipe) != 0)
        return;
    for (int fd : selfPipe) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    notifier = new QSocketNotifier(selfPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SignalWatcher::readPipe);

    struct sigaction action
    { };
    action.sa_handler = handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : watched)
        sigaction(number, &action, nullptr);
#endif
}

SignalWatcher::~SignalWatcher()
{
#ifdef Q_OS_UNIX
    if (!notifier)
        return;
    for (int number : watched)
        std::signal(number, SIG_DFL);
    delete notifier;
    ::close(selfPipe[0]);
    ::close(selfPipe[1]);
    selfPipe[0] = selfPipe[1] = -1;
#endif
}

void SignalWatcher::readPipe()
{
#ifdef Q_OS_UNIX
    char byte;
    while (::read(selfPipe[0], &byte, 1) == 1)
        emit signalled(int(byte));
#endif
}
