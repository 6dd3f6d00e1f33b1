// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/validatorengine.h"

#include "link/hostcommand.h"

#include <algorithm>
#include <utility>

namespace {

using namespace ReplyBits;

// A note is reported as accepting for this many replies before it is judged.
constexpr int acceptingSteps = 2;
constexpr int unaskedEvery = 10;

} // namespace

QStringList ValidatorEngine::misbehaviourNames()
{
    QStringList names;
    for (int rule = 0; rule < ProtocolRules::PowerUp; ++rule)
        names << ProtocolRules::name(Misbehaviour(rule));
    return names;
}

std::optional<ValidatorEngine::Misbehaviour> ValidatorEngine::misbehaviourNamed(const QString &name)
{
    const std::optional<Misbehaviour> rule = ProtocolRules::named(name);
    if (rule == ProtocolRules::PowerUp)
        return std::nullopt;
    return rule;
}

Exchange ValidatorEngine::respond(const QByteArray &command)
{
    Exchange exchange{command, answer(command), {}};
    if (breaking == Misbehaviour::Framing && commandCount % unaskedEvery == 0)
        exchange.laterReplies << exchange.reply;
    return exchange;
}

QByteArray ValidatorEngine::answer(const QByteArray &command)
{
    ++commandCount;
    const HostCommand frame{command};
    const quint8 control = frame.control();
    const quint8 data0 = frame.data0();
    const quint8 data1 = frame.data1();
    channelEnableBits = data0;

    const int ack = control & Frame::ackBit;
    if (lastAck == ack && breaking != Misbehaviour::Repetition)
        return lastReply;
    lastAck = ack;
    lastReply = advance(control, data0, data1);
    return lastReply;
}

QByteArray ValidatorEngine::advance(quint8 control, quint8 data0, quint8 data1)
{
    // The new ACK bit acknowledges the previous reply: its events are done with.
    quint8 reply[3] = {events[0], events[1], events[2]};
    std::fill(std::begin(events), std::end(events), 0);

    int reportedChannel = 0;
    if (stackedEcho > 0 && --stackedEcho == 0) {
        reply[0] |= stackedEvent;
        reportedChannel = echoChannel;
    }
    const bool impossible = (data1 & (Frame::stackNote | Frame::returnNote))
                                    == (Frame::stackNote | Frame::returnNote)
                            && breaking != Misbehaviour::InvalidCommand;
    if (impossible) {
        reply[2] |= invalidCommandEvent;
    } else if (!halted()) {
        switch (stage) {
        case Stage::Idle:
            if (insertedChannel != 0) {
                noteChannel = std::exchange(insertedChannel, 0);
                stage = Stage::Accepting;
                acceptingReplies = 1;
            }
            break;
        case Stage::Accepting:
            if (acceptingReplies < acceptingSteps) {
                ++acceptingReplies;
            } else if (!(data0 & (1 << (noteChannel - 1)))) {
                reply[1] |= rejectedEvent;
                stage = Stage::Idle;
            } else {
                stage = (data1 & Frame::escrowEnabled) ? Stage::Escrowed : Stage::Stacking;
            }
            break;
        case Stage::Escrowed:
            if (data1 & Frame::stackNote)
                stage = Stage::Stacking;
            else if (data1 & Frame::returnNote)
                stage = Stage::Returning;
            break;
        case Stage::Stacking:
            reply[0] |= stackedEvent;
            reportedChannel = noteChannel;
            ++stackedCount;
            if (breaking == Misbehaviour::NotePaths) {
                stackedEcho = 2;
                echoChannel = noteChannel;
            }
            stage = Stage::Idle;
            break;
        case Stage::Returning:
            reply[0] |= returnedEvent;
            reportedChannel = noteChannel;
            ++returnedCount;
            stage = Stage::Idle;
            break;
        }
    }

    switch (stage) {
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
    if (stage != Stage::Idle)
        reportedChannel = noteChannel;
    reply[2] |= quint8(reportedChannel << noteIndexShift);
    if (jamRaised)
        reply[1] |= jammed;
    if (stackerFullRaised)
        reply[1] |= stackerFull;
    if (calibrationRaised)
        reply[1] |= calibration;

    if (breaking == Misbehaviour::EventLife) {
        for (int i = 0; i < 3; ++i) {
            const quint8 fresh = reply[i] & eventMasks[i];
            reply[i] |= lingering[i];
            lingering[i] = fresh;
        }
    }
    const quint8 ackSent = (control & Frame::ackBit) ^ (breaking == Misbehaviour::Acknowledgement);
    return ValidatorReply::frame(replyControl | ackSent, QByteArrayView(reply, sizeof reply));
}

bool ValidatorEngine::insertNote(int channel)
{
    if (channel < 1 || channel > channelCount || !readyForNote())
        return false;
    insertedChannel = channel;
    return true;
}

bool ValidatorEngine::readyForNote() const
{
    return stage == Stage::Idle && insertedChannel == 0 && !halted();
}

void ValidatorEngine::raise(Fault fault)
{
    switch (fault) {
    case Fault::Jam:
        jamRaised = true;
        break;
    case Fault::StackerFull:
        stackerFullRaised = true;
        break;
    case Fault::Calibration:
        calibrationRaised = true;
        break;
    case Fault::Cheat:
        events[1] |= cheatedEvent;
        break;
    case Fault::Reject:
        events[1] |= rejectedEvent;
        break;
    case Fault::Failure:
        events[2] |= failureEvent;
        break;
    case Fault::PowerUp:
        events[2] |= powerUpEvent;
        break;
    }
}

void ValidatorEngine::clear()
{
    jamRaised = stackerFullRaised = calibrationRaised = false;
    std::fill(std::begin(events), std::end(events), 0);
    std::fill(std::begin(lingering), std::end(lingering), 0);
    stackedEcho = 0;
    stage = Stage::Idle;
    noteChannel = 0;
    insertedChannel = 0;
    acceptingReplies = 0;
}
