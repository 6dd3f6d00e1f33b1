// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/validatorline.h"

#include "sim/validatorengine.h"

#include <QIODevice>

#include <algorithm>
#include <utility>

ValidatorLine::ValidatorLine(ReplySource &source, QIODevice *device, QObject *parent)
    : QObject(parent)
    , source(source)
    , device(device)
{
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    clock.start();
    connect(&timer, &QTimer::timeout, this, &ValidatorLine::writeDue);
    connect(device, &QIODevice::readyRead, this, &ValidatorLine::readCommands);
}

void ValidatorLine::inject(Fault fault)
{
    faults.set(size_t(fault));
}

bool ValidatorLine::takeFault(Fault fault)
{
    const bool set = faults.test(size_t(fault));
    faults.reset(size_t(fault));
    return set;
}

void ValidatorLine::hangUp()
{
    timer.stop();
    queue.clear();
    if (device)
        device->close();
}

void ValidatorLine::readCommands()
{
    if (!device || !device->isOpen())
        return;
    const QList<Exchange> exchanges = source.receive(device->readAll());
    for (const Exchange &exchange : exchanges) {
        emit received(exchange.received, !exchange.reply.isEmpty());
        if (exchange.reply.isEmpty())
            continue;
        if (!heldReply.isEmpty())
            schedule(clock.nsecsElapsed(), std::exchange(heldReply, {}), true);
        sendReply(exchange.reply, exchange.received);
        for (const QByteArray &later : exchange.laterReplies)
            sendLater(later);
    }
}

void ValidatorLine::sendReply(QByteArray reply, const QByteArray &command)
{
    // A line wired back on itself: the host gets its own frame.
    if (takeFault(Fault::Echo))
        reply = command;
    // The engine keeps the good reply for a repeat; only what goes on the line is spoiled.
    const bool drop = takeFault(Fault::Drop);
    const bool late = takeFault(Fault::Late);
    if (takeFault(Fault::Corrupt))
        reply[ValidatorEngine::replyLength - 1] ^= corruptMask;
    if (takeFault(Fault::Garbage))
        reply.prepend(garbageByte);
    if (takeFault(Fault::Extra))
        reply.append(extraBytes, sizeof extraBytes);
    if (takeFault(Fault::Cut))
        reply.truncate(cutAt);
    if (takeFault(Fault::Double))
        reply += reply;
    const bool split = takeFault(Fault::Split);
    if (drop)
        return;
    if (late) {
        heldReply = reply;
        return;
    }

    const qint64 due = clock.nsecsElapsed() + (fast ? 0 : qint64(replyDelay.count()))
                       + std::chrono::nanoseconds(extraDelay).count();
    if (split) {
        schedule(due, reply.left(splitAt), false);
        schedule(due + std::chrono::nanoseconds(splitGap).count(), reply.mid(splitAt), true);
    } else {
        schedule(due, reply, true);
    }
}

void ValidatorLine::sendLater(const QByteArray &reply)
{
    // One reply's time after the reply before, so that the host reads each on its own.
    const qint64 after = queue.isEmpty() ? clock.nsecsElapsed() : queue.last().dueNs;
    schedule(after + qint64(replyDelay.count()), reply, true);
}

void ValidatorLine::schedule(qint64 dueNs, const QByteArray &bytes, bool endsReply)
{
    if (!queue.isEmpty())
        dueNs = std::max(dueNs, queue.last().dueNs);
    queue.append({dueNs, bytes, endsReply});
    writeDue();
}

void ValidatorLine::writeDue()
{
    const qint64 now = clock.nsecsElapsed();
    while (!queue.isEmpty() && queue.first().dueNs <= now) {
        const Piece piece = queue.takeFirst();
        if (!device || !device->isOpen())
            continue;
        device->write(piece.bytes);
        emit sent(piece.bytes);
        if (piece.endsReply)
            ++sentReplyCount;
    }
    if (queue.isEmpty())
        return;
    // Round up: a reply must never arrive before a real line could have delivered it.
    const qint64 waitNs = queue.first().dueNs - now;
    timer.start(int((waitNs + 999'999) / 1'000'000));
}
