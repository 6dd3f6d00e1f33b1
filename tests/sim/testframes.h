#pragma once

#include <QByteArray>

// Frames as the host writes them and replies as a real validator sends them, built here
// independently of the simulator's own code.
namespace TestFrames {

inline QByteArray command(int ack, int data0 = 0x7F, int data1 = 0x10, int type = 0x10)
{
    const int control = type | ack;
    const char bytes[] = {0x02,        0x08, char(control), char(data0),
                          char(data1), 0x00, 0x03,          char(0x08 ^ control ^ data0 ^ data1)};
    return QByteArray(bytes, sizeof bytes);
}

inline int xorOfBytes1To8(const QByteArray &reply)
{
    int sum = 0;
    for (int i = 1; i <= 8; ++i)
        sum ^= quint8(reply[i]);
    return sum;
}

// The very first reply, to 02 08 10 7F 10 00 03 77: idling with the power-up event.
inline QByteArray powerUpReply()
{
    return QByteArray::fromHex("020B20010001000000032B");
}

} // namespace TestFrames
