// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/channels.h"
#include "link/protocolrules.h"
#include "link/validatorreply.h"
#include "sim/replysource.h"

#include <QStringList>

#include <optional>

// The validator's side of the protocol, without any transport: command bytes in, reply frames
// out. Each command with a new ACK bit moves the validator one step on; a command repeating
// the ACK bit gets the previous reply again, so the host can retransmit without losing events.
class ValidatorEngine : public ReplySource
{
public:
    // Conditions raised by the operator. Jam, stacker full and calibration are states that
    // last until clear(); the others are events reported once.
    enum class Fault { Jam, StackerFull, Cheat, Reject, Failure, PowerUp, Calibration };

    // One rule of the protocol broken on purpose, named after the rule, so that a host's check
    // of the protocol can be seen to catch it. Framing: every tenth reply is followed by an
    // unasked copy; Acknowledgement: the reply carries the other ACK bit; Repetition: a
    // repeated ACK bit moves the validator on; EventLife: each event is reported once more
    // after its acknowledgement; InvalidCommand: stack and return at once is taken as a plain
    // command; ResponseTime: slow replies (the line's part, see ValidatorLine); NotePaths: a
    // stacked note is reported again two replies later.
    using Misbehaviour = ProtocolRules::Rule;

    static constexpr int replyLength = ValidatorReply::length;

    // The rules that can be broken: every one but the power-up's.
    static QStringList misbehaviourNames();
    static std::optional<Misbehaviour> misbehaviourNamed(const QString &name);
    void setMisbehaviour(std::optional<Misbehaviour> misbehaviour) { breaking = misbehaviour; }

    // The reply to a well-formed command frame.
    QByteArray answer(const QByteArray &command);

    // A note of the given channel (1 to 7) enters the validator with the next new command.
    // False when the channel does not exist or the validator cannot take a note now.
    bool insertNote(int channel);
    bool readyForNote() const;
    void raise(Fault fault);
    // Back to idle: faults, pending events and the note being handled are gone.
    void clear();

    // The channel enable bits (data0) of the last command, 0 before the first.
    quint8 enabledChannels() const { return channelEnableBits; }
    int commands() const { return commandCount; }
    int stacked() const { return stackedCount; }
    int returned() const { return returnedCount; }

protected:
    Exchange respond(const QByteArray &command) override;

private:
    enum class Stage { Idle, Accepting, Escrowed, Stacking, Returning };

    QByteArray advance(quint8 control, quint8 data0, quint8 data1);
    bool halted() const { return jamRaised || stackerFullRaised || calibrationRaised; }

    std::optional<int> lastAck; // ACK bit of the last command answered
    QByteArray lastReply;

    Stage stage = Stage::Idle;
    int noteChannel = 0; // the note being handled
    int acceptingReplies = 0;
    int insertedChannel = 0; // a note waiting for the next step

    // One-shot event bits for the next new reply, by reply data byte. The first reply after
    // start reports the power-up.
    quint8 events[3] = {0, 0, ReplyBits::powerUpEvent};
    bool jamRaised = false;
    bool stackerFullRaised = false;
    bool calibrationRaised = false;

    std::optional<Misbehaviour> breaking; // none: every rule is kept
    quint8 lingering[3] = {0, 0, 0}; // EventLife: the events of the last new reply
    int stackedEcho = 0; // NotePaths: new replies until the stacked note is reported again
    int echoChannel = 0;

    quint8 channelEnableBits = 0;
    int commandCount = 0;
    int stackedCount = 0;
    int returnedCount = 0;
};
