#pragma once

#include "channels.h"
#include "validatorreply.h"

#include <QElapsedTimer>
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
// notes count as the tally counts them, one at most per frame built.
class AcceptanceStatistics
{
public:
    using Event = ReplyEvent;
    static constexpr int eventKinds = 7;
    enum class State { Jammed, StackerFull, Calibration };
    static constexpr int stateKinds = 3;

    struct Line
    {
        int frames = 0; // sent-frame lines logged
        int replies = 0; // frames answered by a good reply
        int noResponses = 0; // frames that got none
        int badChecksums = 0; // frames received whose checksum did not match
        int framingFailures = 0; // what came for a frame and is no good reply, checksum included
        int extraReplies = 0; // good replies with no frame waiting for one
        qint64 strayBytes = 0; // bytes that are no part of a reply
    };

    AcceptanceStatistics();

    // Takes the model's traffic from now on, timed as the traffic record times it, and starts
    // again whenever the model's tally is reset. `context` ends the connections.
    void follow(const TesterModel *model, QObject *context);

    // A sent-frame line was logged for `frame`; steadyMs is a monotonic clock's time. A frame
    // that differs from the one before was newly built.
    void addCommand(const QByteArray &frame, qint64 steadyMs);
    // A frame beginning with the start byte came, logged as the reply line when shownAsReply.
    // countsNotes is false where the tally counts no stacked note (Negative ACK).
    void addReply(const ValidatorReply &reply, bool shownAsReply, bool countsNotes, qint64 steadyMs);
    // A whole good reply after another in one read: no report, as the receive side decodes none.
    void addSecondReply();
    // Bytes that made no reply, as the traffic record takes them.
    void addDropped(const QByteArray &bytes, bool framingFailure, bool stray);
    // The frame sent last waited long enough for its reply.
    void timeOut();
    void reset();

    // Channel 1 to 7; channel 0 holds outcomes whose note the validator did not name and that
    // followed no note seen (a reject at idle). They have a row of their own, shown once there
    // is one, so that TOTAL is the sum of the rows shown.
    const ChannelFigures &channel(int number) const { return notes[size_t(number)]; }
    bool hasUnattributed() const;
    ChannelFigures total() const;
    int events(Event kind) const { return eventCounts[size_t(kind)]; }
    int statesEntered(State kind) const { return stateCounts[size_t(kind)]; }
    const Line &line() const { return lineCounts; }
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

    void addReport(const ValidatorReply &reply, bool countsNotes);
    void followNote(const ValidatorReply &reply);

    std::array<ChannelFigures, channelCount + 1> notes{};
    std::array<int, eventKinds> eventCounts{};
    std::array<int, stateKinds> stateCounts{};
    Line lineCounts;
    std::map<qint64, int> latencies;
    int latencyCount = 0;
    NoteInHand note;
    std::optional<ValidatorReply> lastGood;
    std::optional<qint64> lastSend;
    QByteArray lastFrame;
    bool countedSinceBuild = false; // as the tally: one stacked note per frame built
    bool awaiting = false;
    quint64 changes = 0;
    QElapsedTimer clock;
};
