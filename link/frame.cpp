#include "link/frame.h"

namespace Frame {

QByteArray laidOut(int length, quint8 control, QByteArrayView data)
{
    QByteArray frame(length, '\0');
    frame[0] = startByte;
    frame[1] = char(length);
    frame[controlAt] = char(control);
    for (qsizetype i = 0; i < data.size() && dataAt + i < length - 2; ++i)
        frame[dataAt + i] = data[i];
    frame[length - 2] = endByte;
    return frame;
}

QByteArray build(int length, quint8 control, QByteArrayView data)
{
    QByteArray frame = laidOut(length, control, data);
    frame[length - 1] = char(checksum(frame));
    return frame;
}

quint8 checksum(QByteArrayView frame)
{
    quint8 sum = 0;
    for (qsizetype i = 1; i + 2 < frame.size(); ++i)
        sum ^= quint8(frame[i]);
    return sum;
}

bool wellFormed(QByteArrayView frame, int length)
{
    return frame.size() == length && frame[0] == startByte && frame[1] == char(length)
           && frame[length - 2] == endByte && quint8(frame[length - 1]) == checksum(frame);
}

bool mayBegin(QByteArrayView bytes, int length)
{
    return !bytes.isEmpty() && bytes[0] == startByte
           && (bytes.size() < 2 || bytes[1] == char(length));
}

QString hexBytes(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex(' ').toUpper());
}

} // namespace Frame
