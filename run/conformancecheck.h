// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/hostcommand.h"
#include "link/protocolrules.h"
#include "link/validatorreply.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <optional>

// One frame sent and everything that came back before the next one, as the conformance session
// saw it on the line.
struct ConformanceExchange
{
    HostCommand command; // its frameText is empty for bytes that came before any frame
    QByteArray received; // every byte that came after the frame, before the next
    qint64 time = 0; // ms since the epoch: when the frame was written, or the bytes came
    qint64 replyMs = -1; // ms from the write to the reply's eleventh byte; -1 when it never came
};

// Judges a validator's side of the conversation, exchange by exchange, against the protocol's
// rules. It keeps per rule how many exchanges it applied to and the first few that broke it,
// and follows the note being handled, so that the session can tell what to ask for next.
class ConformanceCheck
{
public:
    using Rule = ProtocolRules::Rule;
    static constexpr int ruleCount = ProtocolRules::count;
    static constexpr int examplesKept = 3;

    enum class Phase { None, Accepting, Escrowed, Stacking, Returning };

    struct Failure
    {
        int exchange; // counted from 0 in the order of add()
        bool withPrevious; // the exchange before shows what this one broke
        QString why;
    };

    struct Verdict
    {
        int exercised = 0; // exchanges the rule applied to
        int failed = 0;
        QList<Failure> examples; // the first few failures
    };

    explicit ConformanceCheck(int replyWithinMs);

    // Judges the next exchange; returns the rules it broke.
    QList<Rule> add(const ConformanceExchange &exchange);

    const Verdict &verdict(Rule rule) const { return verdicts[size_t(rule)]; }
    bool anyFailed() const;

    // The note being handled, as the replies so far report it.
    Phase phase() const { return note.phase; }
    int noteChannel() const { return note.channel; }
    int notesStarted() const { return started; } // notes seen accepting
    int notesEscrowed() const { return escrowed; }
    int notesEnded() const { return ended; } // stacked, returned or rejected

private:
    struct Note
    {
        Phase phase = Phase::None;
        int channel = 0; // 0 while the validator has not named it
        bool askedToStack = false;
        bool askedToReturn = false;
    };

    void fail(Rule rule, bool withPrevious, const QString &why);
    void exercise(Rule rule) { ++verdicts[size_t(rule)].exercised; }
    void followNote(const QByteArray &command, const ValidatorReply &reply, quint8 newEvents[3]);

    int replyWithinMs;
    std::array<Verdict, ruleCount> verdicts;
    QList<Rule> brokenNow;
    int exchangeNumber = -1;
    std::optional<QByteArray> previousCommand; // the last frame sent
    std::optional<QByteArray> previousReply; // its reply, when one came well framed
    bool firstReplySeen = false;
    Note note;
    int started = 0;
    int escrowed = 0;
    int ended = 0;
};
