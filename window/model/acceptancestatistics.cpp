// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/model/acceptancestatistics.h"

#include "window/model/testermodel.h"

#include <QJsonArray>
#include <QStringList>

#include <cmath>
#include <utility>

namespace {

using namespace ReplyBits;

// In the order of AcceptanceStatistics::State.
constexpr ReplyState faultStates[] = {ReplyState::Jammed, ReplyState::StackerFull,
                                      ReplyState::Calibration};

QJsonValue orNull(const std::optional<qint64> &value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}

QString rateText(const ChannelFigures &figures)
{
    const std::optional<double> rate = figures.acceptanceRate();
    return rate ? QStringLiteral("%1 %").arg(*rate * 100, 0, 'f', 1) : QStringLiteral("-");
}

} // namespace

std::optional<double> ChannelFigures::acceptanceRate() const
{
    if (outcomes() == 0)
        return std::nullopt;
    return double(stacked) / outcomes();
}

AcceptanceStatistics::AcceptanceStatistics() = default;

void AcceptanceStatistics::follow(const TesterModel *model, const TrafficRecord *record,
                                  QObject *context)
{
    followRecord(record, context);
    QObject::connect(model, &TesterModel::replyRead, context,
                     [this](const ReplyReport &report) { addReport(report); });
    // The line's figures change with every frame, sent or taken off the line.
    const auto changed = [this] {
        ++changes;
    };
    QObject::connect(model, &TesterModel::commandLogged, context, changed);
    QObject::connect(model, &TesterModel::secondReplyRead, context, changed);
    QObject::connect(model, &TesterModel::bytesDropped, context, changed);
    QObject::connect(model, &TesterModel::portLost, context, changed);
    QObject::connect(model, &TesterModel::totalsReset, context, [this] { reset(); });
}

void AcceptanceStatistics::followRecord(const TrafficRecord *record, QObject *context)
{
    this->record = record;
    atReset = record->counts();
    QObject::connect(record, &TrafficRecord::settled, context,
                     [this](const TrafficExchange &exchange) { addExchange(exchange); });
}

void AcceptanceStatistics::addExchange(const TrafficExchange &exchange)
{
    ++changes;
    if (exchange.kind != TrafficExchange::Kind::Sent || !exchange.answered || exchange.latency < 0)
        return;
    ++latencies[exchange.latency];
    ++latencyCount;
}

AcceptanceStatistics::Line AcceptanceStatistics::line() const
{
    if (!record)
        return {};
    const TrafficCounts &now = record->counts();
    Line since;
    since.frames = now.frames - atReset.frames;
    since.replies = now.replies - atReset.replies;
    since.noResponses = now.noResponses - atReset.noResponses;
    since.badChecksums = now.badChecksums - atReset.badChecksums;
    since.framingFailures = now.framingFailures - atReset.framingFailures;
    since.extraReplies = now.extraReplies - atReset.extraReplies;
    since.strayBytes = now.strayBytes - atReset.strayBytes;
    return since;
}

void AcceptanceStatistics::reset()
{
    // What is in flight stays: the next reply is judged against the one before it.
    notes = {};
    eventCounts = {};
    stateCounts = {};
    if (record)
        atReset = record->counts();
    latencies.clear();
    latencyCount = 0;
    ++changes;
}

void AcceptanceStatistics::addReport(const ReplyReport &report)
{
    ++changes;
    if (!report.good)
        return;
    const std::optional<ValidatorReply> before = std::exchange(lastGood, report.reply);
    if (!report.newReport)
        return;
    const ValidatorReply &reply = report.reply;
    for (int i = 0; i < eventKinds; ++i)
        eventCounts[size_t(i)] += reply.has(Event(i));
    for (int i = 0; i < stateKinds; ++i) {
        const ReplyState state = faultStates[i];
        if (reply.has(state) && !(before && before->has(state)))
            ++stateCounts[size_t(i)];
    }

    // The note's outcome is the event the receive side decoded, so that a note has one outcome
    // and stacked notes are those the tally counted. A rejected or returned note that the reply
    // does not name is the note seen before it.
    const std::optional<ReplyEvent> outcome = report.decoded.event;
    const int named = reply.noteIndex();
    const int channel = named ? named : note.channel;
    if (outcome == ReplyEvent::Stacked) {
        if (report.stackedNote && named)
            ++notes[size_t(named)].stacked;
    } else if (outcome == ReplyEvent::Returned) {
        ++notes[size_t(channel)].returned;
    } else if (outcome == ReplyEvent::Rejected) {
        ++notes[size_t(channel)].rejected;
    } else {
        followNote(reply);
        return;
    }
    note = {};
}

void AcceptanceStatistics::followNote(const ValidatorReply &reply)
{
    const int named = reply.noteIndex();
    if (named && note.channel && named != note.channel)
        note = {};
    if (!named && !(reply.data0() & holdingNote)) {
        note = {};
        return;
    }
    if (named)
        note.channel = named;
    note.accepting = note.accepting || (reply.data0() & accepting);
    note.escrowed = note.escrowed || (reply.data0() & escrowed);
    // A note seen before its channel was known counts once the validator names it.
    if (!note.channel)
        return;
    ChannelFigures &figures = notes[size_t(note.channel)];
    if (note.accepting && !note.acceptingCounted) {
        ++figures.accepting;
        note.acceptingCounted = true;
    }
    if (note.escrowed && !note.escrowedCounted) {
        ++figures.escrowed;
        note.escrowedCounted = true;
    }
}

bool AcceptanceStatistics::hasUnattributed() const
{
    const ChannelFigures &figures = notes[0];
    return figures.accepting || figures.escrowed || figures.outcomes();
}

ChannelFigures AcceptanceStatistics::total() const
{
    ChannelFigures sum;
    for (const ChannelFigures &figures : notes) {
        sum.accepting += figures.accepting;
        sum.escrowed += figures.escrowed;
        sum.stacked += figures.stacked;
        sum.returned += figures.returned;
        sum.rejected += figures.rejected;
    }
    return sum;
}

std::optional<qint64> AcceptanceStatistics::latencyPercentile(double fraction) const
{
    if (latencyCount == 0)
        return std::nullopt;
    const auto rank = qint64(std::ceil(fraction * latencyCount));
    qint64 seen = 0;
    for (const auto &[milliseconds, count] : latencies) {
        seen += count;
        if (seen >= rank)
            return milliseconds;
    }
    return latencies.rbegin()->first;
}

std::optional<qint64> AcceptanceStatistics::worstLatency() const
{
    if (latencies.empty())
        return std::nullopt;
    return latencies.rbegin()->first;
}

QString AcceptanceStatistics::eventName(Event kind)
{
    return QLatin1String(replyBit(kind).name);
}

QString AcceptanceStatistics::stateName(State kind)
{
    return QLatin1String(replyBit(faultStates[int(kind)]).name);
}

QString AcceptanceStatistics::notesText() const
{
    QStringList lines{
            QStringLiteral("Channel  Accepting  Escrowed   Stacked  Returned  Rejected  Accepted")};
    const auto row = [&lines](const QString &name, const ChannelFigures &figures) {
        lines << QStringLiteral("%1  %2  %3  %4  %5  %6  %7")
                         .arg(name, 7)
                         .arg(figures.accepting, 9)
                         .arg(figures.escrowed, 8)
                         .arg(figures.stacked, 8)
                         .arg(figures.returned, 8)
                         .arg(figures.rejected, 8)
                         .arg(rateText(figures), 8);
    };
    for (int i = 1; i <= channelCount; ++i)
        row(QString::number(i), channel(i));
    if (hasUnattributed())
        row(QStringLiteral("-"), channel(0));
    row(QStringLiteral("TOTAL"), total());

    QStringList events;
    for (int i = 0; i < eventKinds; ++i)
        events << QStringLiteral("%1 %2")
                          .arg(QString::fromLatin1(replyBit(Event(i)).name).toLower())
                          .arg(eventCounts[size_t(i)]);
    QStringList states;
    for (int i = 0; i < stateKinds; ++i)
        states << QStringLiteral("%1 %2")
                          .arg(QString::fromLatin1(replyBit(faultStates[i]).name).toLower())
                          .arg(stateCounts[size_t(i)]);
    lines << QStringLiteral("Events: ") + events.join(QStringLiteral(", "))
          << QStringLiteral("States entered: ") + states.join(QStringLiteral(", "));
    return lines.join(QLatin1Char('\n'));
}

QString AcceptanceStatistics::lineText() const
{
    const Line counts = line();
    QStringList lines{QStringLiteral("Frames sent       %1").arg(counts.frames, 8)};
    lines << QStringLiteral("Replies           %1").arg(counts.replies, 8)
          << QStringLiteral("No response       %1").arg(counts.noResponses, 8)
          << QStringLiteral("Bad checksums     %1").arg(counts.badChecksums, 8)
          << QStringLiteral("Framing failures  %1").arg(counts.framingFailures, 8)
          << QStringLiteral("Extra replies     %1").arg(counts.extraReplies, 8)
          << QStringLiteral("Stray bytes       %1").arg(counts.strayBytes, 8);
    if (latencyCount == 0) {
        lines << QStringLiteral("Latency: no replies");
    } else {
        lines << QStringLiteral("Latency (ms): median %1, 95% %2, 99% %3, worst %4")
                         .arg(*latencyPercentile(0.5))
                         .arg(*latencyPercentile(0.95))
                         .arg(*latencyPercentile(0.99))
                         .arg(*worstLatency());
    }
    return lines.join(QLatin1Char('\n'));
}

QJsonObject AcceptanceStatistics::json() const
{
    const Line counts = line();
    const auto figuresJson = [](const ChannelFigures &figures) {
        const std::optional<double> rate = figures.acceptanceRate();
        return QJsonObject{
                {QStringLiteral("accepting"), figures.accepting},
                {QStringLiteral("escrowed"), figures.escrowed},
                {QStringLiteral("stacked"), figures.stacked},
                {QStringLiteral("returned"), figures.returned},
                {QStringLiteral("rejected"), figures.rejected},
                {QStringLiteral("acceptanceRate"), rate ? QJsonValue(*rate) : QJsonValue()}};
    };
    QJsonArray channelArray;
    for (int i = 1; i <= channelCount; ++i) {
        QJsonObject figures = figuresJson(channel(i));
        figures.insert(QStringLiteral("channel"), i);
        channelArray.append(figures);
    }
    if (hasUnattributed()) {
        QJsonObject figures = figuresJson(channel(0));
        figures.insert(QStringLiteral("channel"), QStringLiteral("unknown"));
        channelArray.append(figures);
    }
    QJsonObject events;
    for (int i = 0; i < eventKinds; ++i)
        events.insert(QLatin1String(replyBit(Event(i)).key), eventCounts[size_t(i)]);
    QJsonObject states;
    for (int i = 0; i < stateKinds; ++i)
        states.insert(QLatin1String(replyBit(faultStates[i]).key), stateCounts[size_t(i)]);
    return {
            {QStringLiteral("frames"), counts.frames},
            {QStringLiteral("replies"), counts.replies},
            {QStringLiteral("noResponses"), counts.noResponses},
            {QStringLiteral("badChecksums"), counts.badChecksums},
            {QStringLiteral("framingFailures"), counts.framingFailures},
            {QStringLiteral("extraReplies"), counts.extraReplies},
            {QStringLiteral("strayBytes"), counts.strayBytes},
            {QStringLiteral("notes"), channelArray},
            {QStringLiteral("notesTotal"), figuresJson(total())},
            {QStringLiteral("events"), events},
            {QStringLiteral("statesEntered"), states},
            {QStringLiteral("latency"),
             QJsonObject{{QStringLiteral("replies"), latencyCount},
                         {QStringLiteral("median"), orNull(latencyPercentile(0.5))},
                         {QStringLiteral("p95"), orNull(latencyPercentile(0.95))},
                         {QStringLiteral("p99"), orNull(latencyPercentile(0.99))},
                         {QStringLiteral("worst"), orNull(worstLatency())}}},
    };
}
