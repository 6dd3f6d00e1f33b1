// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "run/conformancecheck.h"
#include "run/conformanceoptions.h"
#include "run/runoptions.h"
#include "window/model/polltimer.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <optional>

class SerialLine;

// Plays the host to check a validator against the protocol: polls as the tester does, and on
// purpose now and then repeats a frame, sends one frame asking to stack and return at once,
// stacks and returns escrowed notes alternately and disables the channel of every third note
// while it is being accepted. Every exchange goes to a ConformanceCheck; at the end comes one
// row per rule.
class ConformanceSession : public QObject
{
    Q_OBJECT

public:
    enum ExitCode { Conforms = 0, RuleBroken = 1, PortError = 2 };

    // The operator is asked for notes with this line.
    static const QString notePrompt;

    // The line stays the caller's.
    ConformanceSession(const RunOptions &options, const ConformanceOptions &conformance,
                       SerialLine *line, QObject *parent = nullptr);

    void start();
    // Stops polling; the frame sent last still has one poll interval for its reply.
    void stop();

    int exitCode() const;
    QString reportText() const;
    QJsonObject reportJson() const;

signals:
    void output(const QString &text);
    void error(const QString &text);
    void finished(int exitCode);

private:
    void tick();
    void receive();
    void settle();
    HostCommand nextCommand();
    void portFailed();
    void finish();
    QStringList exampleLines(const ConformanceCheck::Failure &failure) const;

    RunOptions options;
    ConformanceOptions conformance;
    SerialLine *line;
    ConformanceCheck checker;
    int interval = 0;
    PollTimer pollTimer;
    QTimer runTime; // --seconds
    QTimer replyWait; // the last frame's time for its reply
    QElapsedTimer clock;

    std::optional<ConformanceExchange> open; // the exchange still taking bytes
    qint64 sentAt = 0; // clock time of its frame
    HostCommand lastCommand;
    bool lastAnswered = false; // the frame sent last got its complete reply
    bool ackToggle = true; // the first frame built carries ACK bit 0
    int frames = 0;
    bool repeatNext = false;
    bool invalidSent = false;
    int disabledChannel = 0; // the channel switched off for the note being accepted
    int notesPrompted = 0;

    int exchanges = 0;
    QString previousLine;
    QHash<int, QStringList> failureLines; // the record lines before and of a failing exchange
    bool stopping = false;
    bool done = false;
    QString portError;
};
