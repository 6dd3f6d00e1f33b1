// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/frame.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <optional>

// The bits of a reply, which the validator sets and the host reads.
namespace ReplyBits {
constexpr quint8 replyControl = 0x20; // with the ACK bit of the command it answers
// data0 (byte 3).
constexpr quint8 idling = 0x01;
constexpr quint8 accepting = 0x02;
constexpr quint8 escrowed = 0x04;
constexpr quint8 stacking = 0x08;
constexpr quint8 stackedEvent = 0x10;
constexpr quint8 returning = 0x20;
constexpr quint8 returnedEvent = 0x40;
// The states of data0 that hold a note.
constexpr quint8 holdingNote = accepting | escrowed | stacking | returning;
// data1 (byte 4).
constexpr quint8 cheatedEvent = 0x01;
constexpr quint8 rejectedEvent = 0x02;
constexpr quint8 jammed = 0x04;
constexpr quint8 stackerFull = 0x08;
constexpr quint8 calibration = 0x40;
// data2 (byte 5): events, and the note's channel in bits 3 to 5.
constexpr quint8 powerUpEvent = 0x01;
constexpr quint8 invalidCommandEvent = 0x02;
constexpr quint8 failureEvent = 0x04;
constexpr quint8 noteIndexMask = 0x38;
constexpr int noteIndexShift = 3;
// The event bits of data0, data1 and data2: reported until the host acknowledges them.
constexpr quint8 eventMasks[3] = {stackedEvent | returnedEvent, cheatedEvent | rejectedEvent,
                                  powerUpEvent | invalidCommandEvent | failureEvent};
} // namespace ReplyBits

// What a reply reports: the states last while the validator is in them, the events until the
// host acknowledges them.
enum class ReplyState {
    Idling,
    Accepting,
    Escrowed,
    Stacking,
    Returning,
    Jammed,
    StackerFull,
    Calibration
};
enum class ReplyEvent { PowerUp, InvalidCommand, Failure, Cheated, Rejected, Returned, Stacked };

// What the host makes of one state or event bit.
struct ReplyBit
{
    int byte; // in the reply: 3 to 5
    quint8 mask;
    // Of the bits of its kind that a reply sets, the displays and the log show the highest.
    int precedence;
    const char *text; // "ACCEPTING": the state and last-event displays
    const char *tag; // "ACC": the log; nullptr shows the tag of the next lower bit set
    const char *name; // "Cheated": the statistics; nullptr for a state they do not count
    const char *key; // "cheated": the statistics in JSON
};

const ReplyBit &replyBit(ReplyState state);
const ReplyBit &replyBit(ReplyEvent event);

// The validator's 11-byte reply: 02 0B control data0 .. data5 03 checksum. Only the frame bytes,
// the checksum and the bits of bytes 3 to 5 are interpreted; the other bytes are kept and logged
// as they came.
struct ValidatorReply
{
    static constexpr int length = 11;

    std::array<quint8, length> bytes{};

    // 02 0B control, then bytes 3 to 8 from data (zeros after it), 03 checksum.
    static QByteArray frame(quint8 control, QByteArrayView data);
    // The first reply of a read: nullopt when the read does not begin with the start byte.
    // Bytes after the eleventh belong to the same read and are dropped.
    static std::optional<ValidatorReply> fromRead(const QByteArray &read);

    bool operator==(const ValidatorReply &other) const = default;

    QByteArrayView view() const { return QByteArrayView(bytes.data(), length); }
    quint8 control() const { return bytes[Frame::controlAt]; }
    quint8 data0() const { return bytes[Frame::dataAt]; }
    quint8 data1() const { return bytes[Frame::dataAt + 1]; }
    quint8 data2() const { return bytes[Frame::dataAt + 2]; }
    bool checksumOk() const;
    // A reply to take in: start byte, length byte, end byte and checksum all right. Anything else
    // is line noise or a damaged reply, and is not decoded.
    bool isGood() const;
    bool has(ReplyState state) const;
    bool has(ReplyEvent event) const;
    bool escrowed() const { return has(ReplyState::Escrowed); }
    int noteIndex() const
    {
        return (data2() & ReplyBits::noteIndexMask) >> ReplyBits::noteIndexShift;
    }
    // The event shown: the highest set; nullopt when none is.
    std::optional<ReplyEvent> event() const;
    // The state of a note in hand shown, accepting to returning; nullopt when none is.
    std::optional<ReplyState> noteState() const;
};

// The bytes that follow the eleventh of a read, which take no part in the receive side's decoding:
// the whole good replies among them, in order; the bytes that are no part of one; and, at the
// end, the start of a reply whose remaining bytes have not come yet.
struct ReadTail
{
    QList<ValidatorReply> replies;
    QByteArray stray;
    QByteArray incomplete;
};

ReadTail splitTail(const QByteArray &tail);

// The texts that outlive one reply: the displays keep the last state and event.
struct DecodeMemory
{
    QString stateText;
    QString eventText;
    QString lastNoteIndexText;
};

// Everything the receive side derives from one reply.
struct DecodedReply
{
    int noteIndex = 0;
    QString noteIndexText; // "1" to "7", or one blank
    QString stateTag; // three blanks when none
    QString eventTag; // three blanks when none
    // The state and event this reply reports by itself, whatever came before; empty when none.
    QString ownState;
    QString ownEvent;
    std::optional<ReplyEvent> event; // the event shown
    DecodeMemory memory; // the texts after this reply

    bool stacked() const { return event == ReplyEvent::Stacked; }
    QString stateCaption() const;
    // The last-event display; noteValue is the note value text of the reply's channel.
    QString eventCaption(const QString &noteValue) const;
};

DecodedReply decodeReply(const ValidatorReply &reply, const DecodeMemory &previous);
