// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "validatorreply.h"

#include <QByteArray>
#include <QString>

#include <initializer_list>

// Frames for the tests, built from the bytes alone, independently of the code under test:
//   hex("02 08 10 7F 10 00 03 77")   the bytes of a literal, blanks ignored
//   command(0x11)                    02 08 11 7F 10 00 03 76
//   reply({0x01, 0x00, 0x18})        02 0B 20 01 00 18 00 00 00 03 32
//   spaced(bytes)                    "02 0B 20 ..." as the traffic log shows bytes
namespace Frames {

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

inline QString spaced(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// XOR of the bytes between the start byte and the end byte.
inline quint8 checksum(const QByteArray &frame)
{
    quint8 sum = 0;
    for (int i = 1; i < frame.size() - 2; ++i)
        sum ^= quint8(frame[i]);
    return sum;
}

// 02 08 control data0 data1 00 03 checksum
inline QByteArray command(int control, int data0 = 0x7F, int data1 = 0x10)
{
    QByteArray frame = hex("02 08 00 00 00 00 03 00");
    frame[2] = char(control);
    frame[3] = char(data0);
    frame[4] = char(data1);
    frame[7] = char(checksum(frame));
    return frame;
}

// 02 0B control, then bytes 3 to 8 from data (zeros after it), 03 checksum.
inline QByteArray reply(std::initializer_list<int> data, int control = 0x20)
{
    QByteArray frame = hex("02 0B 00 00 00 00 00 00 00 03 00");
    frame[2] = char(control);
    int i = 3;
    for (int byte : data)
        frame[i++] = char(byte);
    frame[10] = char(checksum(frame));
    return frame;
}

// The same frame with its checksum one bit off.
inline QByteArray badChecksum(QByteArray frame)
{
    frame.back() = char(frame.back() ^ 0x01);
    return frame;
}

inline ValidatorReply replyValue(const QByteArray &frame)
{
    ValidatorReply r;
    for (int i = 0; i < ValidatorReply::length && i < frame.size(); ++i)
        r.bytes[i] = quint8(frame[i]);
    return r;
}

} // namespace Frames
