// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/replysource.h"

#include "link/hostcommand.h"

QList<Exchange> ReplySource::receive(const QByteArray &bytes)
{
    QList<Exchange> exchanges;
    pending += bytes;
    while (!pending.isEmpty()) {
        // A frame is ruled out as soon as its start or length byte is wrong; otherwise it is
        // judged once all its bytes are in.
        if (pending.size() < commandLength && Frame::mayBegin(pending, commandLength))
            break;
        if (Frame::wellFormed(pending.left(commandLength), commandLength)) {
            const QByteArray command = pending.left(commandLength);
            pending.remove(0, commandLength);
            exchanges.append(respond(command));
            continue;
        }
        // Resynchronise: drop the bad start byte and everything up to the next start byte,
        // which may begin the frame that was hidden behind the junk.
        qsizetype next = pending.indexOf(Frame::startByte, 1);
        if (next < 0)
            next = pending.size();
        exchanges.append({pending.left(next), {}, {}});
        pending.remove(0, next);
    }
    return exchanges;
}
