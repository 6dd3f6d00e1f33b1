// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "run/runoptions.h"
#include "window/model/acceptancestatistics.h"
#include "window/model/testermodel.h"
#include "window/model/trafficrecord.h"

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QTimer>

#include <functional>

class SerialLine;

// The tester without a window: the window's model runs the poll cycle, the receive side and
// the tally on a serial line, and the traffic record prints every exchange as it settles.
// At the end comes a summary: the tally and the counts of the conversation.
class HeadlessRun : public QObject
{
    Q_OBJECT

public:
    enum ExitCode {
        AllAnswered = 0,
        NoResponse = 1,
        PortError = 2,
        // 3 is CommandLine::wrongStatus, a wrong command line.
        ReportError = 4,
    };

    // The line stays the caller's.
    HeadlessRun(const RunOptions &options, SerialLine *line, QObject *parent = nullptr);

    void start();
    // Stops polling; the frame sent last still has one poll interval for its reply.
    void stop();

    const TesterModel &model() const { return testerModel; }
    const AcceptanceStatistics &statistics() const { return acceptance; }
    QDateTime startTime() const { return started; }
    QDateTime endTime() const { return ended; }
    // NoResponse also when frames due were not sent: a noisy line held them back, or the
    // program could not poll in time.
    int exitCode() const;
    // What ended the run with PortError: the port could not be opened, or the line was lost.
    QString portFailureText() const { return portFailure; }
    // Where the summary finds the number of output lines that a slow reader cost.
    void countDroppedLinesWith(std::function<qint64()> count) { droppedLines = std::move(count); }
    QString summaryText() const;
    QJsonObject summaryJson() const;

signals:
    // A line for standard output: an exchange as it settles.
    void output(const QString &text);
    // The summary for standard output, at the end.
    void summary(const QString &text);
    // A line for standard error.
    void error(const QString &text);
    void finished(int exitCode);

private:
    void countFrame();
    void countDue();
    void countMissed(int ticks);
    void exchangeSettled(const TrafficExchange &exchange);
    void portFailed(const QString &message, const QString &detail);
    void lookForHolders();
    void finish();

    RunOptions options;
    TesterModel testerModel;
    TrafficRecord trafficRecord;
    AcceptanceStatistics acceptance;
    QDateTime started;
    QDateTime ended;
    QTimer replyWait; // the last frame's time for its reply
    int frames = 0;
    int framesDue = 0; // frames that the poll schedule called for
    qint64 ticksToRun = 0; // the schedule's ticks within --seconds
    QDateTime lostAt; // when the line was lost, if it was
    int lostAfterFrame = 0;
    QString portFailure;
    std::function<qint64()> droppedLines;
    SerialLine *serialLine;
    int silentFrames = 0; // frames in a row that got no reply
    QStringList holders; // other programs with the port open, once silence made it worth asking
    bool stopping = false;
    bool done = false;
    QString portError;
};
