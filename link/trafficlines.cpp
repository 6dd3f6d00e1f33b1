// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/trafficlines.h"

#include "link/hostcommand.h"
#include "link/validatorreply.h"

QString sentFrameLine(const HostCommand &command)
{
    return QLatin1Char(' ') + Frame::hexBytes(command.bytes()) + QLatin1Char(' ') + command.tag();
}

QString replyLine(const ValidatorReply &reply, const QString &stateTag,
                  const QString &noteIndexText, const QString &eventTag)
{
    // A reply read always begins with its start byte.
    return QLatin1Char(' ') + Frame::hexBytes(reply.view()) + QLatin1Char(' ') + stateTag
           + QLatin1Char(' ') + noteIndexText + QLatin1Char(' ') + eventTag;
}

QString noResponseLine()
{
    return QStringLiteral("       NO RESPONSE!  TIMEOUT");
}
