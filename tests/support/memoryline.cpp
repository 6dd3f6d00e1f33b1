// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/memoryline.h"

bool MemoryLine::setCommPort(int number)
{
    selected = number;
    return number > 0;
}

bool MemoryLine::setSettings(const QString &text)
{
    settings = text;
    return true;
}

bool MemoryLine::open()
{
    ++openAttempts;
    if (!existingPorts.contains(selected))
        return false;
    opened = true;
    broken = false;
    openedPorts << selected;
    return true;
}

bool MemoryLine::write(const QByteArray &bytes)
{
    if (!opened || broken)
        return false;
    written << bytes;
    return true;
}

QByteArray MemoryLine::input()
{
    return std::exchange(inBuffer, {});
}

void MemoryLine::clearInBuffer()
{
    ++clearRequests;
    if (opened)
        inBuffer.clear();
}

void MemoryLine::push(const QByteArray &bytes)
{
    inBuffer += bytes;
    emit received();
}
