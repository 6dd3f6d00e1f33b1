#include "slavequeue.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

SlaveQueue::SlaveQueue(const QString &device)
    : fd(::open(device.toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
{ }

SlaveQueue::~SlaveQueue()
{
    if (fd >= 0)
        ::close(fd);
}

int SlaveQueue::waiting() const
{
    int count = 0;
    if (fd < 0 || ::ioctl(fd, FIONREAD, &count) != 0)
        return -1;
    return count;
}
