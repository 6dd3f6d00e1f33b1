#include "validatorline.h"

#include "validatorengine.h"

#include <QIODevice>

#include <algorithm>
#include <utility>

ValidatorLine::ValidatorLine(ValidatorEngine &engine, QIODevice *device, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
    , m_device(device)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_clock.start();
    connect(&m_timer, &QTimer::timeout, this, &ValidatorLine::writeDue);
    connect(device, &QIODevice::readyRead, this, &ValidatorLine::readCommands);
}

void ValidatorLine::inject(Fault fault)
{
    m_faults.set(size_t(fault));
}

bool ValidatorLine::takeFault(Fault fault)
{
    const bool set = m_faults.test(size_t(fault));
    m_faults.reset(size_t(fault));
    return set;
}

void ValidatorLine::hangUp()
{
    m_timer.stop();
    m_queue.clear();
    if (m_device)
        m_device->close();
}

void ValidatorLine::readCommands()
{
    if (!m_device || !m_device->isOpen())
        return;
    const QList<Exchange> exchanges = m_engine.receive(m_device->readAll());
    for (const Exchange &exchange : exchanges) {
        emit received(exchange.received, !exchange.reply.isEmpty());
        if (exchange.reply.isEmpty())
            continue;
        if (!m_held.isEmpty())
            schedule(m_clock.nsecsElapsed(), std::exchange(m_held, {}), true);
        sendReply(exchange.reply);
    }
}

void ValidatorLine::sendReply(QByteArray reply)
{
    // The engine keeps the good reply for a repeat; only what goes on the line is spoiled.
    const bool drop = takeFault(Fault::Drop);
    const bool late = takeFault(Fault::Late);
    if (takeFault(Fault::Corrupt))
        reply[ValidatorEngine::replyLength - 1] ^= corruptMask;
    if (takeFault(Fault::Garbage))
        reply.prepend(garbageByte);
    if (takeFault(Fault::Extra))
        reply.append(extraBytes, sizeof extraBytes);
    const bool split = takeFault(Fault::Split);
    if (drop)
        return;
    if (late) {
        m_held = reply;
        return;
    }

    const qint64 due = m_clock.nsecsElapsed() + (m_fast ? 0 : qint64(replyDelay.count()));
    if (split) {
        schedule(due, reply.left(splitAt), false);
        schedule(due + std::chrono::nanoseconds(splitGap).count(), reply.mid(splitAt), true);
    } else {
        schedule(due, reply, true);
    }
}

void ValidatorLine::schedule(qint64 dueNs, const QByteArray &bytes, bool endsReply)
{
    if (!m_queue.isEmpty())
        dueNs = std::max(dueNs, m_queue.last().dueNs);
    m_queue.append({dueNs, bytes, endsReply});
    writeDue();
}

void ValidatorLine::writeDue()
{
    const qint64 now = m_clock.nsecsElapsed();
    while (!m_queue.isEmpty() && m_queue.first().dueNs <= now) {
        const Piece piece = m_queue.takeFirst();
        if (!m_device || !m_device->isOpen())
            continue;
        m_device->write(piece.bytes);
        emit sent(piece.bytes);
        if (piece.endsReply)
            ++m_repliesSent;
    }
    if (m_queue.isEmpty())
        return;
    // Round up: a reply must never arrive before a real line could have delivered it.
    const qint64 waitNs = m_queue.first().dueNs - now;
    m_timer.start(int((waitNs + 999'999) / 1'000'000));
}
