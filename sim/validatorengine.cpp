#include "validatorengine.h"

#include "hostcommand.h"

#include <algorithm>
#include <utility>

namespace {

constexpr char stx = 0x02;
constexpr char etx = 0x03;
constexpr quint8 replyControl = 0x20;
constexpr quint8 ackBit = 0x01;

// Command data1.
constexpr quint8 escrowEnabled = 0x10;
constexpr quint8 stackRequest = 0x20;
constexpr quint8 returnRequest = 0x40;

// Reply data0.
constexpr quint8 idling = 0x01;
constexpr quint8 accepting = 0x02;
constexpr quint8 escrowed = 0x04;
constexpr quint8 stacking = 0x08;
constexpr quint8 stackedEvent = 0x10;
constexpr quint8 returning = 0x20;
constexpr quint8 returnedEvent = 0x40;
// Reply data1.
constexpr quint8 cheatedEvent = 0x01;
constexpr quint8 rejectedEvent = 0x02;
constexpr quint8 jammed = 0x04;
constexpr quint8 stackerFull = 0x08;
constexpr quint8 calibration = 0x40;
// Reply data2.
constexpr quint8 powerUpEvent = 0x01;
constexpr quint8 invalidCommandEvent = 0x02;
constexpr quint8 failureEvent = 0x04;
constexpr int noteIndexShift = 3;

// A note is reported as accepting for this many replies before it is judged.
constexpr int acceptingSteps = 2;

QByteArray replyFrame(quint8 control, quint8 data0, quint8 data1, quint8 data2)
{
    QByteArray frame(ValidatorEngine::replyLength, '\0');
    frame[0] = stx;
    frame[1] = char(ValidatorEngine::replyLength);
    frame[2] = char(control);
    frame[3] = char(data0);
    frame[4] = char(data1);
    frame[5] = char(data2);
    frame[9] = etx;
    frame[10] = char(frameChecksum(frame));
    return frame;
}

} // namespace

bool ValidatorEngine::wellFormed(const QByteArray &frame)
{
    return frame.size() == commandLength && frame[0] == stx && frame[1] == char(commandLength)
           && frame[6] == etx && quint8(frame[7]) == frameChecksum(frame);
}

QList<Exchange> ValidatorEngine::receive(const QByteArray &bytes)
{
    QList<Exchange> exchanges;
    m_pending += bytes;
    while (!m_pending.isEmpty()) {
        // A frame is ruled out as soon as its start or length byte is wrong; otherwise it is
        // judged once all its bytes are in.
        const bool startOk = m_pending[0] == stx;
        const bool lengthOk = m_pending.size() < 2 || m_pending[1] == char(commandLength);
        if (startOk && lengthOk && m_pending.size() < commandLength)
            break;
        if (startOk && lengthOk && wellFormed(m_pending.left(commandLength))) {
            const QByteArray command = m_pending.left(commandLength);
            m_pending.remove(0, commandLength);
            exchanges.append({command, answer(command)});
            continue;
        }
        // Resynchronise: drop the bad start byte and everything up to the next start byte,
        // which may begin the frame that was hidden behind the junk.
        qsizetype next = m_pending.indexOf(stx, 1);
        if (next < 0)
            next = m_pending.size();
        exchanges.append({m_pending.left(next), {}});
        m_pending.remove(0, next);
    }
    return exchanges;
}

QByteArray ValidatorEngine::answer(const QByteArray &command)
{
    ++m_commands;
    const quint8 control = quint8(command[2]);
    const quint8 data0 = quint8(command[3]);
    const quint8 data1 = quint8(command[4]);
    m_enabledChannels = data0;

    const int ack = control & ackBit;
    if (m_lastAck == ack)
        return m_lastReply;
    m_lastAck = ack;
    m_lastReply = advance(control, data0, data1);
    return m_lastReply;
}

QByteArray ValidatorEngine::advance(quint8 control, quint8 data0, quint8 data1)
{
    // The new ACK bit acknowledges the previous reply: its events are done with.
    quint8 reply[3] = {m_events[0], m_events[1], m_events[2]};
    std::fill(std::begin(m_events), std::end(m_events), 0);

    int reportedChannel = 0;
    const bool impossible = (data1 & (stackRequest | returnRequest))
                            == (stackRequest | returnRequest);
    if (impossible) {
        reply[2] |= invalidCommandEvent;
    } else if (!halted()) {
        switch (m_stage) {
        case Stage::Idle:
            if (m_insertedChannel != 0) {
                m_channel = std::exchange(m_insertedChannel, 0);
                m_stage = Stage::Accepting;
                m_acceptingReplies = 1;
            }
            break;
        case Stage::Accepting:
            if (m_acceptingReplies < acceptingSteps) {
                ++m_acceptingReplies;
            } else if (!(data0 & (1 << (m_channel - 1)))) {
                reply[1] |= rejectedEvent;
                m_stage = Stage::Idle;
            } else {
                m_stage = (data1 & escrowEnabled) ? Stage::Escrowed : Stage::Stacking;
            }
            break;
        case Stage::Escrowed:
            if (data1 & stackRequest)
                m_stage = Stage::Stacking;
            else if (data1 & returnRequest)
                m_stage = Stage::Returning;
            break;
        case Stage::Stacking:
            reply[0] |= stackedEvent;
            reportedChannel = m_channel;
            ++m_stacked;
            m_stage = Stage::Idle;
            break;
        case Stage::Returning:
            reply[0] |= returnedEvent;
            reportedChannel = m_channel;
            ++m_returned;
            m_stage = Stage::Idle;
            break;
        }
    }

    switch (m_stage) {
    case Stage::Idle:
        if (!halted())
            reply[0] |= idling;
        break;
    case Stage::Accepting:
        reply[0] |= accepting;
        break;
    case Stage::Escrowed:
        reply[0] |= escrowed;
        break;
    case Stage::Stacking:
        reply[0] |= stacking;
        break;
    case Stage::Returning:
        reply[0] |= returning;
        break;
    }
    if (m_stage != Stage::Idle)
        reportedChannel = m_channel;
    reply[2] |= quint8(reportedChannel << noteIndexShift);
    if (m_jammed)
        reply[1] |= jammed;
    if (m_stackerFull)
        reply[1] |= stackerFull;
    if (m_calibrating)
        reply[1] |= calibration;

    return replyFrame(replyControl | (control & ackBit), reply[0], reply[1], reply[2]);
}

bool ValidatorEngine::insertNote(int channel)
{
    if (channel < 1 || channel > channelCount || !readyForNote())
        return false;
    m_insertedChannel = channel;
    return true;
}

bool ValidatorEngine::readyForNote() const
{
    return m_stage == Stage::Idle && m_insertedChannel == 0 && !halted();
}

void ValidatorEngine::raise(Fault fault)
{
    switch (fault) {
    case Fault::Jam:
        m_jammed = true;
        break;
    case Fault::StackerFull:
        m_stackerFull = true;
        break;
    case Fault::Calibration:
        m_calibrating = true;
        break;
    case Fault::Cheat:
        m_events[1] |= cheatedEvent;
        break;
    case Fault::Reject:
        m_events[1] |= rejectedEvent;
        break;
    case Fault::Failure:
        m_events[2] |= failureEvent;
        break;
    case Fault::PowerUp:
        m_events[2] |= powerUpEvent;
        break;
    }
}

void ValidatorEngine::clear()
{
    m_jammed = m_stackerFull = m_calibrating = false;
    std::fill(std::begin(m_events), std::end(m_events), 0);
    m_stage = Stage::Idle;
    m_channel = 0;
    m_insertedChannel = 0;
    m_acceptingReplies = 0;
}
