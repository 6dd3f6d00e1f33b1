// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/validatorreply.h"

namespace {

constexpr int data0At = Frame::dataAt;
constexpr int data1At = data0At + 1;
constexpr int data2At = data0At + 2;

using namespace ReplyBits;

// In the order of ReplyState. The states' precedence is the order in which the host tests them.
constexpr ReplyBit stateBits[] = {
        {data0At, idling, 1, "IDLING", nullptr, nullptr, nullptr},
        {data0At, accepting, 2, "ACCEPTING", "ACC", nullptr, nullptr},
        {data0At, escrowed, 3, "ESCROWED", "ESC", nullptr, nullptr},
        {data0At, stacking, 4, "STACKING", "STK", nullptr, nullptr},
        {data0At, returning, 5, "RETURNING", "RTN", nullptr, nullptr},
        {data1At, jammed, 6, "JAMMED", "JAM", "Jammed", "jammed"},
        {data1At, stackerFull, 7, "STACKER FULL", nullptr, "Stacker full", "stackerFull"},
        {data1At, calibration, 8, "CALIBRATION", "CAL", "Calibration", "calibration"},
};

// In the order of ReplyEvent. A failure shows only when no other event is set.
constexpr ReplyBit eventBits[] = {
        {data2At, powerUpEvent, 6, "POWER UP", "PWR", "Power up", "powerUp"},
        {data2At, invalidCommandEvent, 7, "INVALID CMD", "INV", "Invalid command", "invalidCommand"},
        {data2At, failureEvent, 1, "FAILURE", nullptr, "Failure", "failure"},
        {data1At, cheatedEvent, 4, "CHEATED", "CHT", "Cheated", "cheated"},
        {data1At, rejectedEvent, 5, "REJECTED", "REJ", "Rejected", "rejected"},
        {data0At, returnedEvent, 3, "RETURNED", "RTD", "Returned", "returned"},
        {data0At, stackedEvent, 2, "STACKED", "STD", "Stacked", "stacked"},
};

bool isSet(const ValidatorReply &reply, const ReplyBit &bit)
{
    return (reply.bytes[size_t(bit.byte)] & bit.mask) == bit.mask;
}

// The bit of highest precedence that the reply sets, of those `among` takes; -1 when it sets
// none of them.
template<size_t N, typename Among>
int shown(const ValidatorReply &reply, const ReplyBit (&table)[N], Among among)
{
    int top = -1;
    for (int i = 0; i < int(N); ++i) {
        const ReplyBit &bit = table[i];
        if (isSet(reply, bit) && among(bit) && (top < 0 || bit.precedence > table[top].precedence))
            top = i;
    }
    return top;
}

bool any(const ReplyBit &)
{
    return true;
}

bool tagged(const ReplyBit &bit)
{
    return bit.tag;
}

template<size_t N>
void applyBits(const ValidatorReply &reply, const ReplyBit (&table)[N], QString &text, QString &tag)
{
    if (const int top = shown(reply, table, any); top >= 0)
        text = QLatin1String(table[top].text);
    if (const int top = shown(reply, table, tagged); top >= 0)
        tag = QLatin1String(table[top].tag);
}

} // namespace

const ReplyBit &replyBit(ReplyState state)
{
    return stateBits[int(state)];
}

const ReplyBit &replyBit(ReplyEvent event)
{
    return eventBits[int(event)];
}

QByteArray ValidatorReply::frame(quint8 control, QByteArrayView data)
{
    return Frame::build(length, control, data);
}

std::optional<ValidatorReply> ValidatorReply::fromRead(const QByteArray &read)
{
    if (read.size() < length || read[0] != Frame::startByte)
        return std::nullopt;
    ValidatorReply reply;
    for (int i = 0; i < length; ++i)
        reply.bytes[i] = quint8(read[i]);
    return reply;
}

ReadTail splitTail(const QByteArray &tail)
{
    ReadTail split;
    qsizetype at = 0;
    while (at < tail.size()) {
        const QByteArray rest = tail.mid(at);
        if (rest.size() < ValidatorReply::length && Frame::mayBegin(rest, ValidatorReply::length)) {
            split.incomplete = rest;
            break;
        }
        if (const std::optional<ValidatorReply> reply = ValidatorReply::fromRead(rest);
            reply && reply->isGood()) {
            split.replies.append(*reply);
            at += ValidatorReply::length;
            continue;
        }
        split.stray += tail[at];
        ++at;
    }
    return split;
}

bool ValidatorReply::checksumOk() const
{
    return Frame::checksum(view()) == bytes[length - 1];
}

bool ValidatorReply::isGood() const
{
    return Frame::wellFormed(view(), length);
}

bool ValidatorReply::has(ReplyState state) const
{
    return isSet(*this, replyBit(state));
}

bool ValidatorReply::has(ReplyEvent event) const
{
    return isSet(*this, replyBit(event));
}

std::optional<ReplyEvent> ValidatorReply::event() const
{
    const int top = shown(*this, eventBits, any);
    return top < 0 ? std::nullopt : std::optional(ReplyEvent(top));
}

std::optional<ReplyState> ValidatorReply::noteState() const
{
    const int top = shown(*this, stateBits, [](const ReplyBit &bit) {
        return bit.byte == data0At && (bit.mask & holdingNote);
    });
    return top < 0 ? std::nullopt : std::optional(ReplyState(top));
}

DecodedReply decodeReply(const ValidatorReply &reply, const DecodeMemory &previous)
{
    DecodedReply out;
    out.memory = previous;
    out.stateTag = QStringLiteral("   ");
    out.eventTag = QStringLiteral("   ");
    out.noteIndex = reply.noteIndex();
    out.noteIndexText = out.noteIndex ? QString::number(out.noteIndex) : QStringLiteral(" ");
    out.event = reply.event();

    applyBits(reply, stateBits, out.ownState, out.stateTag);
    applyBits(reply, eventBits, out.ownEvent, out.eventTag);
    // A reply without a state or an event bit leaves the text before it.
    if (!out.ownState.isEmpty())
        out.memory.stateText = out.ownState;
    if (!out.ownEvent.isEmpty())
        out.memory.eventText = out.ownEvent;

    // An event stays on display only while the replies name the same note.
    if (out.memory.lastNoteIndexText != out.noteIndexText)
        out.memory.eventText.clear();
    out.memory.lastNoteIndexText = out.noteIndexText;
    return out;
}

QString DecodedReply::stateCaption() const
{
    return QLatin1Char(' ') + memory.stateText;
}

QString DecodedReply::eventCaption(const QString &noteValue) const
{
    if (!memory.eventText.isEmpty() && noteIndex != 0)
        return QLatin1Char(' ') + memory.eventText + QLatin1Char(' ') + noteValue;
    return QLatin1Char(' ') + memory.eventText;
}
