// SPDX-License-Identifier: GPL-3.0-or-later
#include "run/conformancecheck.h"

#include "link/validatorreply.h"

namespace {

constexpr int frameLength = ValidatorReply::length;
using namespace ProtocolRules;
using namespace ReplyBits;

using Phase = ConformanceCheck::Phase;
using Frame::hexBytes;

ValidatorReply replyOf(const QByteArray &frame)
{
    return *ValidatorReply::fromRead(frame);
}

int ackOf(const QByteArray &command)
{
    return HostCommand{command}.control() & Frame::ackBit;
}

quint8 instructionOf(const QByteArray &command)
{
    return HostCommand{command}.data1() & (Frame::stackNote | Frame::returnNote);
}

QString framingFault(const QByteArray &reply)
{
    if (reply.size() < frameLength)
        return QStringLiteral("a reply of %1 bytes: %2").arg(reply.size()).arg(hexBytes(reply));
    const std::optional<ValidatorReply> frame = ValidatorReply::fromRead(reply);
    if (!frame || !frame->isGood())
        return QStringLiteral("not 02 0B ... 03 with a right checksum: %1").arg(hexBytes(reply));
    return {};
}

Phase reportedPhase(const ValidatorReply &reply)
{
    switch (reply.noteState().value_or(ReplyState::Idling)) {
    case ReplyState::Accepting:
        return Phase::Accepting;
    case ReplyState::Escrowed:
        return Phase::Escrowed;
    case ReplyState::Stacking:
        return Phase::Stacking;
    case ReplyState::Returning:
        return Phase::Returning;
    default: // no note in hand
        return Phase::None;
    }
}

QString phaseName(Phase phase)
{
    switch (phase) {
    case Phase::None:
        return QStringLiteral("no note");
    case Phase::Accepting:
        return QStringLiteral("accepting");
    case Phase::Escrowed:
        return QStringLiteral("escrowed");
    case Phase::Stacking:
        return QStringLiteral("stacking");
    case Phase::Returning:
        return QStringLiteral("returning");
    }
    return {};
}

} // namespace

ConformanceCheck::ConformanceCheck(int replyWithinMs)
    : replyWithinMs(replyWithinMs)
{ }

bool ConformanceCheck::anyFailed() const
{
    for (const Verdict &verdict : verdicts) {
        if (verdict.failed > 0)
            return true;
    }
    return false;
}

void ConformanceCheck::fail(Rule rule, bool withPrevious, const QString &why)
{
    Verdict &verdict = verdicts[size_t(rule)];
    if (++verdict.failed <= examplesKept)
        verdict.examples.append({exchangeNumber, withPrevious, why});
    if (!brokenNow.contains(rule))
        brokenNow.append(rule);
}

QList<ConformanceCheck::Rule> ConformanceCheck::add(const ConformanceExchange &exchange)
{
    ++exchangeNumber;
    brokenNow.clear();
    const QByteArray &command = exchange.command.frameText;
    const QByteArray &received = exchange.received;
    if (command.isEmpty()) {
        if (!received.isEmpty()) {
            exercise(Framing);
            fail(Framing, false,
                 QStringLiteral("bytes came with no frame sent: ") + hexBytes(received));
        }
        return brokenNow;
    }

    exercise(ResponseTime);
    if (exchange.replyMs < 0) {
        fail(ResponseTime, false,
             received.isEmpty() ? QStringLiteral("no reply")
                                : QStringLiteral("only %1 bytes came").arg(received.size()));
    } else if (exchange.replyMs > replyWithinMs) {
        fail(ResponseTime, false,
             QStringLiteral("the reply was complete %1 ms after the frame, not within %2 ms")
                     .arg(exchange.replyMs)
                     .arg(replyWithinMs));
    }

    std::optional<QByteArray> reply;
    if (!received.isEmpty()) {
        exercise(Framing);
        const QByteArray frame = received.left(frameLength);
        QString fault = framingFault(frame);
        if (fault.isEmpty())
            reply = frame;
        if (fault.isEmpty() && received.size() > frameLength) {
            fault = QStringLiteral("bytes came after the reply, unasked: ")
                    + hexBytes(received.mid(frameLength));
        }
        if (!fault.isEmpty())
            fail(Framing, false, fault);
    }

    if (reply) {
        const ValidatorReply frame = replyOf(*reply);
        const quint8 control = replyControl | ackOf(command);
        exercise(Acknowledgement);
        if (frame.control() != control) {
            fail(Acknowledgement, false,
                 QStringLiteral("control byte %1 where the frame's ACK bit asks for %2")
                         .arg(hexBytes(QByteArray(1, char(frame.control()))),
                              hexBytes(QByteArray(1, char(control)))));
        }

        const bool repeated = previousCommand && ackOf(*previousCommand) == ackOf(command);
        quint8 previousEvents[3] = {0, 0, 0};
        if (previousReply) {
            for (int i = 0; i < 3; ++i)
                previousEvents[i] = replyOf(*previousReply).bytes[Frame::dataAt + i]
                                    & eventMasks[i];
        }
        quint8 newEvents[3];
        bool outlived = false;
        for (int i = 0; i < 3; ++i) {
            const quint8 events = frame.bytes[Frame::dataAt + i] & eventMasks[i];
            newEvents[i] = events & ~previousEvents[i];
            outlived = outlived || (events & previousEvents[i]);
        }

        if (repeated && previousReply) {
            exercise(Repetition);
            if (*reply != *previousReply) {
                fail(Repetition, true,
                     QStringLiteral("a frame that repeats the ACK bit got a different reply"));
            }
        }
        if (!repeated && previousReply
            && (previousEvents[0] || previousEvents[1] || previousEvents[2])) {
            exercise(EventLife);
            if (outlived) {
                fail(EventLife, true,
                     QStringLiteral("an event is reported again after the frame that "
                                    "acknowledged it"));
            }
        }
        if (instructionOf(command) == (Frame::stackNote | Frame::returnNote)) {
            exercise(InvalidCommand);
            if (!frame.has(ReplyEvent::InvalidCommand)) {
                fail(InvalidCommand, false,
                     QStringLiteral("a frame asking to stack and return at once got no "
                                    "invalid-command event"));
            }
        }
        // A reply repeated byte for byte tells nothing new.
        if (reply != previousReply) {
            if (newEvents[2] & powerUpEvent) {
                exercise(PowerUp);
                if (firstReplySeen)
                    fail(PowerUp, false, QStringLiteral("power up reported after the first reply"));
            }
            followNote(command, frame, newEvents);
        }
        firstReplySeen = true;
    }
    previousCommand = command;
    previousReply = reply;
    return brokenNow;
}

void ConformanceCheck::followNote(const QByteArray &command, const ValidatorReply &reply,
                                  quint8 newEvents[3])
{
    const int channel = reply.noteIndex();
    const bool judged = (reply.data0() & holdingNote)
                        || (newEvents[0] & (stackedEvent | returnedEvent))
                        || (newEvents[1] & rejectedEvent);
    if (!judged && note.phase == Phase::None)
        return;
    exercise(NotePaths);

    if (note.phase == Phase::Escrowed) {
        const quint8 instruction = instructionOf(command);
        note.askedToStack = note.askedToStack || instruction == Frame::stackNote;
        note.askedToReturn = note.askedToReturn || instruction == Frame::returnNote;
    }

    bool endedNow = false;
    const auto end = [&](Phase expected, const char *event) {
        if (note.phase == expected) {
            note = {};
            ++ended;
            endedNow = true;
        } else {
            fail(NotePaths, true,
                 QStringLiteral("%1 reported with no note %2")
                         .arg(QLatin1String(event), phaseName(expected)));
        }
    };
    if (newEvents[0] & stackedEvent)
        end(Phase::Stacking, "stacked");
    if (newEvents[0] & returnedEvent)
        end(Phase::Returning, "returned");
    if ((newEvents[1] & rejectedEvent) && note.phase == Phase::Accepting)
        end(Phase::Accepting, "rejected");

    const Phase reported = reportedPhase(reply);
    QString why;
    switch (reported) {
    case Phase::None:
        if (note.phase != Phase::None && !endedNow) {
            why = QStringLiteral("the note left %1 with no stacked, returned or rejected event")
                          .arg(phaseName(note.phase));
        }
        break;
    case Phase::Accepting:
        if (note.phase != Phase::None && note.phase != Phase::Accepting)
            why = QStringLiteral("accepting again after %1").arg(phaseName(note.phase));
        break;
    case Phase::Escrowed:
        if (note.phase != Phase::Accepting && note.phase != Phase::Escrowed)
            why = QStringLiteral("escrowed after %1").arg(phaseName(note.phase));
        else if (channel < 1 || channel > channelCount)
            why = QStringLiteral("escrowed with no note index");
        else if (!(HostCommand{command}.data0() & (1 << (channel - 1))))
            why = QStringLiteral("escrowed a note of channel %1, which the frame disables")
                          .arg(channel);
        break;
    case Phase::Stacking:
    case Phase::Returning: {
        const bool stack = reported == Phase::Stacking;
        const bool asked = stack ? note.askedToStack : note.askedToReturn;
        if (note.phase != reported && !(note.phase == Phase::Escrowed && asked)) {
            why = QStringLiteral("%1 after %2%3")
                          .arg(phaseName(reported), phaseName(note.phase),
                               note.phase == Phase::Escrowed
                                       ? QStringLiteral(" without being asked")
                                       : QString());
        }
        break;
    }
    }
    if (why.isEmpty() && reported != Phase::None && note.channel && channel
        && channel != note.channel) {
        why = QStringLiteral("the note of channel %1 is reported as channel %2")
                      .arg(note.channel)
                      .arg(channel);
    }
    if (!why.isEmpty())
        fail(NotePaths, true, why);

    // Follow what the validator reports, right or wrong, so that one fault is reported once.
    if (reported == Phase::None) {
        note = {};
        return;
    }
    if (reported == Phase::Accepting && note.phase == Phase::None)
        ++started;
    if (reported == Phase::Escrowed && note.phase != Phase::Escrowed)
        ++escrowed;
    note.phase = reported;
    if (channel)
        note.channel = channel;
}
