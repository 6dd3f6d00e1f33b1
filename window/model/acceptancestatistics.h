// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/channels.h"
#include "window/model/replyreport.h"
#include "window/model/trafficrecord.h"

#include <QJsonObject>
#include <QString>

#include <array>
#include <map>
#include <optional>

class QObject;
class TesterModel;

// What became of the notes of one channel.
struct ChannelFigures
{
    int accepting = 0; // notes seen being accepted
    int escrowed = 0; // notes seen held in escrow
    int stacked = 0; // as the tally counts them
    int returned = 0;
    int rejected = 0;

    int outcomes() const { return stacked + returned + rejected; }
    // Stacked notes per note that reached an outcome, 0 to 1; nothing before the first outcome.
    std::optional<double> acceptanceRate() const;
};

// The figures a validator test is judged by, taken from the conversation as the log takes it
// in: what became of the notes per channel, the events and fault states the validator
// reported, and how the line behaved. A report counts once: a reply that repeats the previous
// good reply byte for byte (the answer to a repeated command) is not a new report; and stacked
// notes are those the tally counted.
class AcceptanceStatistics
{
public:
    using Event = ReplyEvent;
    static constexpr int eventKinds = 7;
    enum class State { Jammed, StackerFull, Calibration };
    static constexpr int stateKinds = 3;

    // The line's figures are the traffic record's, counted since the last reset.
    using Line = TrafficCounts;

    AcceptanceStatistics();

    // Takes the model's reports and the record's exchanges from now on, and starts again whenever
    // the model's tally is reset. `context` ends the connections.
    void follow(const TesterModel *model, const TrafficRecord *record, QObject *context);
    // The line's figures and the latency from `record`, which settles every exchange.
    void followRecord(const TrafficRecord *record, QObject *context);
    // A frame that went through the receive side.
    void addReport(const ReplyReport &report);
    // An exchange that the record settled: a frame answered gives its reply's latency.
    void addExchange(const TrafficExchange &exchange);
    void reset();

    // Channel 1 to 7; channel 0 holds outcomes whose note the validator did not name and that
    // followed no note seen (a reject at idle). They have a row of their own, shown once there
    // is one, so that TOTAL is the sum of the rows shown.
    const ChannelFigures &channel(int number) const { return notes[size_t(number)]; }
    bool hasUnattributed() const;
    ChannelFigures total() const;
    int events(Event kind) const { return eventCounts[size_t(kind)]; }
    int statesEntered(State kind) const { return stateCounts[size_t(kind)]; }
    Line line() const;
    // Reply latency in ms, from a frame's hand-over to the port to its reply's reading.
    int latencySamples() const { return latencyCount; }
    // Nearest-rank percentile, 0 < fraction <= 1; nothing before the first reply.
    std::optional<qint64> latencyPercentile(double fraction) const;
    std::optional<qint64> worstLatency() const;
    // Replies per whole millisecond of latency.
    const std::map<qint64, int> &latencyCounts() const { return latencies; }
    // Grows with every change: a view redraws only when it differs from the last one drawn.
    quint64 revision() const { return changes; }

    static QString eventName(Event kind); // "Power up"
    static QString stateName(State kind); // "Jammed"

    // The figures as text for a summary: the notes, events and states; the line's figures.
    QString notesText() const;
    QString lineText() const;
    // All the figures as JSON.
    QJsonObject json() const;

private:
    struct NoteInHand
    {
        int channel = 0;
        bool accepting = false;
        bool escrowed = false;
        bool acceptingCounted = false;
        bool escrowedCounted = false;
    };

    void followNote(const ValidatorReply &reply);

    std::array<ChannelFigures, channelCount + 1> notes{};
    std::array<int, eventKinds> eventCounts{};
    std::array<int, stateKinds> stateCounts{};
    const TrafficRecord *record = nullptr;
    TrafficCounts atReset; // the record's counts at the last reset
    std::map<qint64, int> latencies;
    int latencyCount = 0;
    NoteInHand note;
    std::optional<ValidatorReply> lastGood;
    quint64 changes = 0;
};
