// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/model/trafficrecord.h"

#include "base/wholewrite.h"
#include "link/recordlayout.h"
#include "link/trafficlines.h"
#include "window/model/testermodel.h"

#include <QDateTime>
#include <QSaveFile>

namespace {

QString orDash(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

} // namespace

TrafficRecord::TrafficRecord(QObject *parent)
    : QObject(parent)
{ }

void TrafficRecord::follow(const TesterModel *model)
{
    connect(model, &TesterModel::commandLogged, this, &TrafficRecord::addCommand);
    connect(model, &TesterModel::replyRead, this, &TrafficRecord::addReply);
    connect(model, &TesterModel::secondReplyRead, this, &TrafficRecord::addSecondReply);
    connect(model, &TesterModel::bytesDropped, this,
            [this](const QByteArray &bytes, TesterModel::Dropped why) {
                using Dropped = TesterModel::Dropped;
                addDropped(bytes, why == Dropped::BadStart || why == Dropped::BrokenReply,
                           why == Dropped::Stray, QDateTime::currentMSecsSinceEpoch());
            });
    connect(model, &TesterModel::portLost, this, &TrafficRecord::portLost);
}

void TrafficRecord::setCapacity(int count)
{
    capacity = qMax(1, count);
    while (int(entries.size()) > capacity)
        entries.pop_front();
}

void TrafficRecord::addCommand(const HostCommand &command, qint64 wallMs, qint64 steadyMs)
{
    // A frame still waiting when the next one goes has timed out, also across a run start that
    // emptied the log without writing its no-response line.
    timeOut();
    TrafficExchange exchange;
    exchange.time = wallMs;
    exchange.command = command;
    lastSendSteady = steadyMs;
    ++totals.frames;
    append(exchange);
}

void TrafficRecord::addReply(const ReplyReport &report)
{
    TrafficExchange *waiting = waitingEntry();
    // What comes while no frame waits is a reply only when it is a good one.
    if (!waiting && !report.good) {
        addStray(report.reply.view().toByteArray(), report.wallMs);
        return;
    }
    if (!report.reply.checksumOk())
        ++totals.badChecksums;
    if (!report.good)
        ++totals.framingFailures;
    if (waiting) {
        // A bad reply stands as the no-response line the log shows; a good one may follow it.
        if (!waiting->report || report.good) {
            waiting->report = report;
            waiting->latency = lastSendSteady ? report.steadyMs - *lastSendSteady : -1;
        }
        if (report.good) {
            waiting->answered = true;
            ++totals.replies;
            settle(*waiting);
        }
        return;
    }
    addSecondReply(report);
}

void TrafficRecord::addSecondReply(const ReplyReport &report)
{
    TrafficExchange extra;
    extra.kind = lastSendSteady ? TrafficExchange::Kind::SecondReply
                                : TrafficExchange::Kind::Unasked;
    extra.time = report.wallMs;
    extra.latency = lastSendSteady ? report.steadyMs - *lastSendSteady : -1;
    extra.report = report;
    extra.answered = true;
    ++totals.extraReplies;
    append(extra);
    settle(entries.back());
}

void TrafficRecord::addDropped(const QByteArray &bytes, bool framingFailure, bool stray,
                               qint64 wallMs)
{
    TrafficExchange *waiting = waitingEntry();
    if (stray || !waiting) {
        addStray(bytes, wallMs);
        return;
    }
    if (framingFailure)
        ++totals.framingFailures;
    waiting->dropped += bytes;
}

void TrafficRecord::addStray(const QByteArray &bytes, qint64 wallMs)
{
    totals.strayBytes += bytes.size();
    if (TrafficExchange *waiting = waitingEntry()) {
        waiting->stray += bytes;
        return;
    }
    TrafficExchange noise;
    noise.kind = TrafficExchange::Kind::Stray;
    noise.time = wallMs;
    noise.stray = bytes;
    append(noise);
    settle(entries.back());
}

void TrafficRecord::timeOut()
{
    if (TrafficExchange *waiting = waitingEntry()) {
        ++totals.noResponses;
        settle(*waiting);
    }
}

void TrafficRecord::portLost()
{
    if (TrafficExchange *waiting = waitingEntry()) {
        waiting->portLost = true;
        timeOut();
    }
}

bool TrafficRecord::awaitingReply() const
{
    return !entries.empty() && !entries.back().settled;
}

TrafficExchange *TrafficRecord::waitingEntry()
{
    return awaitingReply() ? &entries.back() : nullptr;
}

void TrafficRecord::append(const TrafficExchange &exchange)
{
    entries.push_back(exchange);
    if (int(entries.size()) > capacity)
        entries.pop_front();
}

void TrafficRecord::settle(TrafficExchange &exchange)
{
    exchange.settled = true;
    if (recording())
        writeRecorded(formatLine(exchange));
    emit settled(exchange);
}

QStringList TrafficRecord::lines() const
{
    QStringList text;
    text.reserve(size());
    for (const TrafficExchange &exchange : entries)
        text << formatLine(exchange);
    return text;
}

bool TrafficRecord::save(const QString &path, QString *error) const
{
    // Unbuffered: a failed write keeps the system's reason, which the commit would replace.
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered);
    QByteArray text;
    for (const QString &line : lines())
        text += (line + QLatin1Char('\n')).toUtf8();
    written = written && writeWhole(file, text);
    QString reason = file.errorString();
    if (written && file.commit())
        return true;
    if (written)
        reason = file.errorString();
    *error = QStringLiteral("%1: %2").arg(path, reason);
    return false;
}

bool TrafficRecord::startRecording(const QString &path, QString *error)
{
    stopRecording();
    recordFile.setFileName(path);
    if (!recordFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text
                         | QIODevice::Unbuffered)) {
        *error = QStringLiteral("%1: %2").arg(path, recordFile.errorString());
        return false;
    }
    return true;
}

void TrafficRecord::stopRecording()
{
    if (!recording())
        return;
    if (awaitingReply())
        writeRecorded(formatLine(entries.back()));
    recordFile.close();
}

void TrafficRecord::writeRecorded(const QString &line)
{
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    const qint64 lineStart = recordFile.pos();
    if (writeWhole(recordFile, bytes))
        return;
    const QString error = QStringLiteral("%1: %2").arg(recordFile.fileName(),
                                                       recordFile.errorString());
    // What part of the line went out is taken back: the file ends with its last whole line.
    recordFile.resize(lineStart);
    recordFile.close();
    emit recordingFailed(error);
}

QString TrafficRecord::formatTime(const QDateTime &time)
{
    const int offset = time.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz"))
           + QLatin1Char(offset < 0 ? '-' : '+')
           + QStringLiteral("%1:%2")
                     .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                     .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString TrafficRecord::formatLine(const TrafficExchange &exchange)
{
    using Kind = TrafficExchange::Kind;
    QStringList remarks;
    QString sent;
    if (exchange.kind == Kind::Sent) {
        sent = sentFrameLine(exchange.command);
        if (exchange.command.frameText.isEmpty())
            remarks << RecordLayout::nothingSentRemark();
    } else if (exchange.kind != Kind::Stray) {
        remarks << (exchange.kind == Kind::SecondReply
                            ? QStringLiteral("second reply")
                            : QStringLiteral("reply with no frame sent"));
    }

    QString reply;
    QString state;
    QString event;
    if (exchange.report && exchange.report->good) {
        const DecodedReply &decoded = exchange.report->decoded;
        state = decoded.ownState;
        event = decoded.ownEvent;
        if (exchange.answered) {
            reply = replyLine(exchange.report->reply, decoded.stateTag, decoded.noteIndexText,
                              decoded.eventTag);
        }
    } else if (exchange.report) {
        remarks << (exchange.report->reply.checksumOk() ? RecordLayout::badFrameRemark()
                                                        : RecordLayout::badChecksumRemark())
                           + Frame::hexBytes(exchange.report->reply.view());
    }
    if (!exchange.dropped.isEmpty())
        remarks << RecordLayout::badFrameRemark() + Frame::hexBytes(exchange.dropped);
    if (!exchange.stray.isEmpty())
        remarks << RecordLayout::strayBytesRemark() + Frame::hexBytes(exchange.stray);
    if (exchange.portLost)
        remarks << QStringLiteral("port lost");
    if (!exchange.answered && exchange.kind != Kind::Stray) {
        if (exchange.settled || exchange.report)
            reply = noResponseLine();
        else
            remarks << QStringLiteral("no reply yet");
    }

    using namespace RecordLayout;
    const QString latency = exchange.latency < 0 ? QStringLiteral("-").rightJustified(latencyWidth)
                                                 : QStringLiteral("%1 ms").arg(exchange.latency,
                                                                               latencyWidth - 3);
    QString line = sent.leftJustified(sentWidth) + gap() + reply.leftJustified(replyWidth) + gap()
                   + formatTime(QDateTime::fromMSecsSinceEpoch(exchange.time)) + gap() + latency
                   + gap() + orDash(state).leftJustified(stateWidth) + gap()
                   + orDash(event).leftJustified(eventWidth);
    if (!remarks.isEmpty())
        line += remarkMark() + remarks.join(QStringLiteral("; "));
    while (line.endsWith(QLatin1Char(' ')))
        line.chop(1);
    return line;
}
