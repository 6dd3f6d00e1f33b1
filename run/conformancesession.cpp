// SPDX-License-Identifier: GPL-3.0-or-later
#include "run/conformancesession.h"

#include "base/numbers.h"
#include "link/serialline.h"
#include "window/model/testermodel.h"
#include "window/model/trafficrecord.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

#include <chrono>
#include <utility>

namespace {

// A frame is repeated on purpose this often, beside the second frame and every stack or return.
constexpr int repeatEvery = 10;
// The channel of every third note is disabled while it is being accepted.
constexpr int disableEvery = 3;

QString recordLine(const ConformanceExchange &exchange)
{
    TrafficExchange entry;
    entry.kind = exchange.command.frameText.isEmpty() ? TrafficExchange::Kind::Unasked
                                                      : TrafficExchange::Kind::Sent;
    entry.time = exchange.time;
    entry.latency = exchange.replyMs;
    entry.command = exchange.command;
    if (const std::optional<ValidatorReply> reply = ValidatorReply::fromRead(exchange.received))
        entry.report = reportReply(*reply, {}, {});
    entry.settled = true;
    entry.answered = entry.report && entry.report->good;
    return TrafficRecord::formatLine(entry);
}

QString resultName(const ConformanceCheck::Verdict &verdict)
{
    if (verdict.failed > 0)
        return QStringLiteral("failed");
    return verdict.exercised > 0 ? QStringLiteral("passed") : QStringLiteral("not exercised");
}

// The frame built with a stack or return instruction, or both at once, of the host's choosing.
void setInstruction(HostCommand &command, quint8 instruction)
{
    command.frameText = HostCommand::frame(command.control(), command.data0(),
                                           Frame::escrowEnabled | instruction);
}

} // namespace

const QString ConformanceSession::notePrompt = QStringLiteral(
        "Insert a note of any enabled channel");

ConformanceSession::ConformanceSession(const RunOptions &options,
                                       const ConformanceOptions &conformance, SerialLine *line,
                                       QObject *parent)
    : QObject(parent)
    , options(options)
    , conformance(conformance)
    , line(line)
    , checker(conformance.replyWithinMs)
{
    const std::optional<double> wanted = Numbers::parsePlain(options.interval);
    interval = qBound(TesterModel::shortestInterval,
                      int(Numbers::roundHalfEven(wanted.value_or(0))),
                      TesterModel::longestInterval);
    runTime.setSingleShot(true);
    runTime.setTimerType(Qt::PreciseTimer);
    replyWait.setSingleShot(true);
    connect(&pollTimer, &PollTimer::timeout, this, &ConformanceSession::tick);
    connect(&runTime, &QTimer::timeout, this, &ConformanceSession::stop);
    connect(&replyWait, &QTimer::timeout, this, &ConformanceSession::finish);
    connect(line, &SerialLine::received, this, &ConformanceSession::receive);
    connect(line, &SerialLine::lineLost, this, &ConformanceSession::portFailed);
}

void ConformanceSession::start()
{
    clock.start();
    if (!openValidatorLine(line, options.comPort)) {
        portFailed();
        return;
    }
    if (options.milliseconds > 0)
        runTime.start(std::chrono::milliseconds(options.milliseconds));
    pollTimer.start(interval);
    tick();
}

void ConformanceSession::stop()
{
    if (stopping || done)
        return;
    stopping = true;
    pollTimer.stop();
    runTime.stop();
    if (open && open->replyMs < 0)
        replyWait.start(interval);
    else
        finish();
}

void ConformanceSession::tick()
{
    settle();
    if (conformance.notes > 0 && checker.notesEnded() >= conformance.notes) {
        stop();
        return;
    }
    if (checker.phase() == ConformanceCheck::Phase::None && notesPrompted <= checker.notesEnded()
        && (conformance.notes == 0 || notesPrompted < conformance.notes)) {
        ++notesPrompted;
        emit output(notePrompt);
    }

    const HostCommand command = nextCommand();
    if (!line->write(command.frameText)) {
        portFailed();
        return;
    }
    sentAt = clock.elapsed();
    open = ConformanceExchange{command, {}, QDateTime::currentMSecsSinceEpoch(), -1};
    lastCommand = command;
    ++frames;
}

HostCommand ConformanceSession::nextCommand()
{
    // A frame without its complete reply goes again, as the host's time-out sends it.
    if ((frames > 0 && !lastAnswered) || std::exchange(repeatNext, false))
        return lastCommand;

    using Phase = ConformanceCheck::Phase;
    const Phase phase = checker.phase();
    if (phase == Phase::None)
        disabledChannel = 0;
    else if (phase == Phase::Accepting && disabledChannel == 0
             && checker.notesStarted() % disableEvery == 0)
        disabledChannel = checker.noteChannel();

    BuildInputs in;
    in.channelStates = options.channelStates;
    if (disabledChannel > 0)
        in.channelStates[size_t(disabledChannel - 1)] = 0;
    in.escrow = true;
    in.ackToggle = ackToggle;
    const BuildResult built = BuildCommand(in);
    ackToggle = built.ackToggle;
    HostCommand command = built.command;

    if (phase == Phase::Escrowed) {
        // The first escrowed note is stacked, the next returned, and so on; a note of the
        // disabled channel should not be here at all, and goes back.
        const bool stack = disabledChannel == 0 && checker.notesEscrowed() % 2 == 1;
        setInstruction(command, stack ? Frame::stackNote : Frame::returnNote);
        repeatNext = true;
    } else if (phase == Phase::None && !invalidSent && frames >= 2) {
        setInstruction(command, Frame::stackNote | Frame::returnNote);
        invalidSent = true;
    }
    if (frames == 0 || (frames + 1) % repeatEvery == 0)
        repeatNext = true;
    return command;
}

void ConformanceSession::receive()
{
    const QByteArray bytes = line->input();
    if (bytes.isEmpty() || done)
        return;
    if (!open)
        open = ConformanceExchange{{}, {}, QDateTime::currentMSecsSinceEpoch(), -1};
    open->received += bytes;
    if (!open->command.frameText.isEmpty() && open->replyMs < 0
        && open->received.size() >= ValidatorReply::length) {
        open->replyMs = clock.elapsed() - sentAt;
        if (stopping)
            finish();
    }
}

void ConformanceSession::settle()
{
    if (!open)
        return;
    const ConformanceExchange exchange = *std::exchange(open, std::nullopt);
    const int number = exchanges++;
    const QString text = recordLine(exchange);
    if (!checker.add(exchange).isEmpty())
        failureLines.insert(number, {previousLine, text});
    previousLine = text;
    if (!exchange.command.frameText.isEmpty())
        lastAnswered = exchange.replyMs >= 0;
}

void ConformanceSession::portFailed()
{
    if (done)
        return;
    portError = QStringLiteral("Communication Port Error (#:%1) on COM%2")
                        .arg(line->errorNumber())
                        .arg(options.comPort)
                + QLatin1Char('\n') + line->errorDetail();
    emit error(QStringLiteral("System Error: ") + portError);
    finish();
}

void ConformanceSession::finish()
{
    if (done)
        return;
    settle();
    done = true;
    pollTimer.stop();
    runTime.stop();
    replyWait.stop();
    if (line->isOpen())
        line->close();
    if (options.json)
        emit output(QString::fromUtf8(QJsonDocument(reportJson()).toJson(QJsonDocument::Compact)));
    else
        emit output(reportText());
    emit finished(exitCode());
}

int ConformanceSession::exitCode() const
{
    if (!portError.isEmpty())
        return PortError;
    return checker.anyFailed() ? RuleBroken : Conforms;
}

QStringList ConformanceSession::exampleLines(const ConformanceCheck::Failure &failure) const
{
    const QStringList lines = failureLines.value(failure.exchange);
    if (lines.size() < 2)
        return lines;
    return failure.withPrevious && !lines[0].isEmpty() ? lines : lines.mid(1);
}

QString ConformanceSession::reportText() const
{
    QStringList text{QStringLiteral("Rule             Result          Exchanges")};
    for (int rule = 0; rule < ConformanceCheck::ruleCount; ++rule) {
        const ConformanceCheck::Verdict &verdict = checker.verdict(ConformanceCheck::Rule(rule));
        text << QStringLiteral("%1 %2 %3")
                        .arg(ProtocolRules::name(ConformanceCheck::Rule(rule)), -16)
                        .arg(resultName(verdict), -15)
                        .arg(verdict.exercised, 9);
        for (const ConformanceCheck::Failure &failure : verdict.examples) {
            text << QStringLiteral("  exchange %1: %2").arg(failure.exchange + 1).arg(failure.why);
            for (const QString &line : exampleLines(failure))
                text << QStringLiteral("    ") + line;
        }
        if (verdict.failed > verdict.examples.size())
            text << QStringLiteral("  and %1 more").arg(verdict.failed - verdict.examples.size());
    }
    text << QStringLiteral("Frames sent  %1").arg(frames, 10)
         << QStringLiteral("Notes        %1").arg(checker.notesEnded(), 10);
    return text.join(QLatin1Char('\n'));
}

QJsonObject ConformanceSession::reportJson() const
{
    QJsonArray rules;
    for (int rule = 0; rule < ConformanceCheck::ruleCount; ++rule) {
        const ConformanceCheck::Verdict &verdict = checker.verdict(ConformanceCheck::Rule(rule));
        QJsonArray failures;
        for (const ConformanceCheck::Failure &failure : verdict.examples) {
            failures.append(QJsonObject{
                    {QStringLiteral("exchange"), failure.exchange + 1},
                    {QStringLiteral("why"), failure.why},
                    {QStringLiteral("lines"), QJsonArray::fromStringList(exampleLines(failure))},
            });
        }
        rules.append(QJsonObject{
                {QStringLiteral("rule"), ProtocolRules::name(ConformanceCheck::Rule(rule))},
                {QStringLiteral("result"), resultName(verdict)},
                {QStringLiteral("exchanges"), verdict.exercised},
                {QStringLiteral("failed"), verdict.failed},
                {QStringLiteral("failures"), failures},
        });
    }
    QJsonObject report{
            {QStringLiteral("com"), options.comPort},
            {QStringLiteral("interval"), interval},
            {QStringLiteral("replyWithin"), conformance.replyWithinMs},
            {QStringLiteral("frames"), frames},
            {QStringLiteral("notes"), checker.notesEnded()},
            {QStringLiteral("rules"), rules},
            {QStringLiteral("exitCode"), exitCode()},
    };
    if (!portError.isEmpty())
        report.insert(QStringLiteral("error"), portError);
    return report;
}
