#pragma once

#include <QString>

// Looks into the input queue of a terminal without reading from it: how many bytes the line
// holds that its reader has not taken yet. Opens the device once more for that alone.
class SlaveQueue
{
public:
    explicit SlaveQueue(const QString &device);
    ~SlaveQueue();
    SlaveQueue(const SlaveQueue &) = delete;
    SlaveQueue &operator=(const SlaveQueue &) = delete;

    bool isOpen() const { return fd >= 0; }
    // The bytes waiting; -1 when the device is not open or cannot tell.
    int waiting() const;

private:
    int fd = -1;
};
