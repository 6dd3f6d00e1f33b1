// SPDX-License-Identifier: GPL-3.0-or-later
#include "validatorreply.h"

#include "hostcommand.h"

namespace {

struct BitMeaning
{
    int byte; // index in the reply
    quint8 mask;
    const char *text;
    const char *tag; // nullptr: leaves the tag as earlier rows left it
};

// In test order: a later set bit overwrites what an earlier one wrote.
constexpr BitMeaning stateBits[] = {
        {3, 0x01, "IDLING", nullptr},       {3, 0x02, "ACCEPTING", "ACC"},
        {3, 0x04, "ESCROWED", "ESC"},       {3, 0x08, "STACKING", "STK"},
        {3, 0x20, "RETURNING", "RTN"},      {4, 0x04, "JAMMED", "JAM"},
        {4, 0x08, "STACKER FULL", nullptr}, {4, 0x40, "CALIBRATION", "CAL"},
};

constexpr BitMeaning eventBits[] = {
        {5, 0x04, "FAILURE", nullptr},   {3, 0x10, "STACKED", "STD"},  {3, 0x40, "RETURNED", "RTD"},
        {4, 0x01, "CHEATED", "CHT"},     {4, 0x02, "REJECTED", "REJ"}, {5, 0x01, "POWER UP", "PWR"},
        {5, 0x02, "INVALID CMD", "INV"},
};

template<size_t N>
void applyBits(const ValidatorReply &reply, const BitMeaning (&table)[N], QString &text,
               QString &tag)
{
    for (const BitMeaning &bit : table) {
        if ((reply.bytes[bit.byte] & bit.mask) != bit.mask)
            continue;
        text = QLatin1String(bit.text);
        if (bit.tag)
            tag = QLatin1String(bit.tag);
    }
}

} // namespace

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
        if (rest.size() < ValidatorReply::length && rest[0] == Frame::startByte
            && (rest.size() < 2 || quint8(rest[1]) == ValidatorReply::lengthByte)) {
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
    return frameChecksum(QByteArrayView(bytes.data(), length)) == bytes[10];
}

bool ValidatorReply::isGood() const
{
    return bytes[0] == Frame::startByte && bytes[1] == lengthByte && bytes[9] == Frame::endByte
           && checksumOk();
}

DecodedReply decodeReply(const ValidatorReply &reply, const DecodeMemory &previous)
{
    DecodedReply out;
    out.memory = previous;
    out.stateTag = QStringLiteral("   ");
    out.eventTag = QStringLiteral("   ");
    out.noteIndex = reply.noteIndex();
    out.noteIndexText = out.noteIndex ? QString::number(out.noteIndex) : QStringLiteral(" ");

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
