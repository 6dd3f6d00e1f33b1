// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/hostcommand.h"
#include "window/model/replyreport.h"

#include <QFile>
#include <QObject>
#include <QStringList>

#include <deque>
#include <optional>

class QDateTime;
class TesterModel;

// One entry of the traffic record: a frame sent with what came back for it, or a reply that
// came when no frame was waiting for one.
struct TrafficExchange
{
    enum class Kind {
        Sent, // a frame sent, with its reply or the no-response line
        SecondReply, // a reply after the frame sent last already had its reply
        Unasked, // a reply before any frame was sent
        Stray, // bytes that are no reply, while no frame was waiting for one
    };

    Kind kind = Kind::Sent;
    qint64 time = 0; // ms since the epoch: the send; for the other kinds the arrival
    qint64 latency = -1; // ms from the send to the reply; -1 when none
    HostCommand command; // the frame logged (Kind::Sent)
    std::optional<ReplyReport> report; // the frame received for it
    bool settled = false; // the reply column is final
    bool answered = false; // the reply column holds the reply line, not the no-response line
    QByteArray dropped; // came for the frame and made no reply: a bad start, a broken reply
    QByteArray stray; // came and are no part of a reply
    bool portLost = false; // the line failed while the frame waited
};

// Totals over everything recorded, dropped entries included.
struct TrafficCounts
{
    int frames = 0; // sent-frame lines logged
    int replies = 0; // frames sent that got a reply with a good checksum
    int noResponses = 0; // frames sent that got none: the no-response line
    int badChecksums = 0; // frames received whose checksum did not match
    int framingFailures = 0; // what came for a frame and is no good reply, checksum included
    int extraReplies = 0; // good replies with no frame waiting for one
    qint64 strayBytes = 0; // bytes that are no part of a reply
};

// The whole conversation with timestamps, kept beside the sixteen-row log: bounded, the oldest
// entries dropped first. Each entry becomes one line of text that starts with the log's two
// columns (see formatLine). Entries can also go to a file as they settle.
class TrafficRecord : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultCapacity = 100000;

    explicit TrafficRecord(QObject *parent = nullptr);

    // Records the model's traffic from now on, timed by this computer's clocks.
    void follow(const TesterModel *model);
    void setCapacity(int entries);

    // A sent-frame line was logged. wallMs is the time of day, steadyMs a monotonic clock's.
    void addCommand(const HostCommand &command, qint64 wallMs, qint64 steadyMs);
    // A frame beginning with the start byte went through the receive side; a good one was
    // logged as the reply line.
    void addReply(const ReplyReport &report);
    // A whole good reply after another in one read.
    void addSecondReply(const ReplyReport &report);
    // Bytes that made no reply (see TesterModel::Dropped).
    void addDropped(const QByteArray &bytes, bool framingFailure, bool stray, qint64 wallMs);
    // The frame sent last waited long enough: it gets the no-response line, as at a next send.
    void timeOut();
    // The line failed: the frame waiting gets the no-response line, marked.
    void portLost();

    bool awaitingReply() const;
    int size() const { return int(entries.size()); }
    const TrafficExchange &at(int index) const { return entries[size_t(index)]; }
    const TrafficCounts &counts() const { return totals; }
    QStringList lines() const;

    // Replaces the file only once it is complete; on failure sets `error`.
    bool save(const QString &path, QString *error) const;
    // Writes each entry to the file as it settles, line by line. After a failed write the file
    // ends with its last whole line, and recordingFailed names the system's reason.
    bool startRecording(const QString &path, QString *error);
    // A frame still waiting for its reply is written as it stands.
    void stopRecording();
    bool recording() const { return recordFile.isOpen(); }
    QString recordingPath() const { return recordFile.fileName(); }

    // One line in the columns of RecordLayout. A frame that is not a good reply stands as the
    // no-response line with its bytes in a remark, and reports no state or event.
    static QString formatLine(const TrafficExchange &exchange);
    // "2024-05-01T12:00:00.123+02:00": local time with its offset from UTC.
    static QString formatTime(const QDateTime &time);

signals:
    void settled(const TrafficExchange &exchange);
    void recordingFailed(const QString &error);

private:
    TrafficExchange *waitingEntry();
    void append(const TrafficExchange &exchange);
    void settle(TrafficExchange &exchange);
    void addStray(const QByteArray &bytes, qint64 wallMs);
    void writeRecorded(const QString &line);

    std::deque<TrafficExchange> entries;
    int capacity = defaultCapacity;
    TrafficCounts totals;
    std::optional<qint64> lastSendSteady;
    QFile recordFile;
};
