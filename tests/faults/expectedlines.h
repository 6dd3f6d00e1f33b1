#pragma once

#include <QByteArray>
#include <QString>

// The traffic log's lines as they must read for given frames, built from the bytes alone.
namespace ExpectedLines {

// " 02 08 cc d0 d1 d2 03 ss tag"
inline QString sent(const QByteArray &frame, const char *tag = "   ")
{
    return QLatin1Char(' ') + QString::fromLatin1(frame.toHex(' ').toUpper()) + QLatin1Char(' ')
           + QLatin1String(tag);
}

// " 02 " and bytes 1 to 10, then the state tag, the note index and the event tag.
inline QString reply(const QByteArray &reply, const char *stateTag, char note, const char *eventTag)
{
    return QLatin1Char(' ') + QString::fromLatin1(reply.left(11).toHex(' ').toUpper())
           + QLatin1Char(' ') + QLatin1String(stateTag) + QLatin1Char(' ') + QLatin1Char(note)
           + QLatin1Char(' ') + QLatin1String(eventTag);
}

inline QString noResponse()
{
    return QStringLiteral("       NO RESPONSE!  TIMEOUT");
}

// The reply a validator sends with the given data bytes: 02 0B control d0 d1 d2 00 00 00 03 sum.
inline QByteArray validatorReply(int ack, int data0, int data1, int data2)
{
    QByteArray frame(11, '\0');
    frame[0] = 0x02;
    frame[1] = 0x0B;
    frame[2] = char(0x20 | ack);
    frame[3] = char(data0);
    frame[4] = char(data1);
    frame[5] = char(data2);
    frame[9] = 0x03;
    char sum = 0;
    for (int i = 1; i <= 8; ++i)
        sum ^= frame[i];
    frame[10] = sum;
    return frame;
}

} // namespace ExpectedLines
