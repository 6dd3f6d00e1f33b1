// SPDX-License-Identifier: GPL-3.0-or-later
#include "trafficlines.h"

#include "hostcommand.h"
#include "validatorreply.h"

QString HexByte(int value)
{
    static const char digits[] = "0123456789ABCDEF";
    const int byte = value & 0xFF;
    const int high = byte / 16;
    const int low = byte % 16;
    return QLatin1String(&digits[high], 1) + QLatin1String(&digits[low], 1);
}

QString sentFrameLine(const HostCommand &command)
{
    QString line = QStringLiteral(" 02 08 ");
    line += HexByte(command.control) + QLatin1Char(' ');
    line += HexByte(command.data0) + QLatin1Char(' ');
    line += HexByte(command.data1) + QLatin1Char(' ');
    line += HexByte(command.data2);
    line += QLatin1String(" 03 ");
    line += HexByte(command.checksum) + QLatin1Char(' ');
    line += command.tag;
    return line;
}

QString replyLine(const ValidatorReply &reply, const QString &stateTag,
                  const QString &noteIndexText, const QString &eventTag)
{
    QString line = QStringLiteral(" 02 ");
    for (int k = 1; k <= 10; ++k)
        line += HexByte(reply.bytes[k]) + QLatin1Char(' ');
    line += stateTag + QLatin1Char(' ') + noteIndexText + QLatin1Char(' ') + eventTag;
    return line;
}

QString noResponseLine()
{
    return QStringLiteral("       NO RESPONSE!  TIMEOUT");
}
