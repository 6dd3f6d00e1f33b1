// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/hostcommand.h"
#include "link/validatorreply.h"

#include <QByteArray>
#include <QString>

#include <initializer_list>

// Frames for the tests, built as both ends of the line build them (the tests that check the
// builders compare them with literals):
//   hex("02 08 10 7F 10 00 03 77")   the bytes of a literal, blanks ignored
//   command(0x11)                    02 08 11 7F 10 00 03 76
//   reply({0x01, 0x00, 0x18})        02 0B 20 01 00 18 00 00 00 03 32
namespace Frames {

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

inline QByteArray command(int control, int data0 = 0x7F, int data1 = 0x10)
{
    return HostCommand::frame(quint8(control), quint8(data0), quint8(data1));
}

inline QByteArray reply(std::initializer_list<int> data, int control = 0x20)
{
    QByteArray bytes;
    for (int byte : data)
        bytes.append(char(byte));
    return ValidatorReply::frame(quint8(control), bytes);
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
