// SPDX-License-Identifier: GPL-3.0-or-later
#include "run/headlessrun.h"

#include "base/numbers.h"
#include "link/portdiagnosis.h"
#include "link/recordlayout.h"
#include "link/serialline.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// Replies that stop for this many frames in a row have the port's other holders looked up,
// which takes a walk through every process's open files.
constexpr int silentFramesBeforeLooking = 3;

QJsonValue number(const QString &text)
{
    const std::optional<double> value = Numbers::parsePlain(text);
    return value ? QJsonValue(*value) : QJsonValue(text);
}

QString channelDigits(const std::array<int, channelCount> &states)
{
    QString digits;
    for (const int state : states)
        digits += QLatin1Char(state == 1 ? '1' : '0');
    return digits;
}

} // namespace

HeadlessRun::HeadlessRun(const RunOptions &options, SerialLine *line, QObject *parent)
    : QObject(parent)
    , options(options)
    , testerModel(line)
    , serialLine(line)
{
    replyWait.setSingleShot(true);
    // Each exchange is printed as it settles: the run keeps none but the one in flight, so that
    // its memory does not grow with the run's length.
    trafficRecord.setCapacity(1);
    // The statistics and the record first: they hold the exchange before the count or the
    // record's settling can end the run.
    acceptance.follow(&testerModel, &trafficRecord, this);
    trafficRecord.follow(&testerModel);
    connect(&testerModel, &TesterModel::commandLogged, this, &HeadlessRun::countFrame);
    connect(&testerModel, &TesterModel::sendDue, this, &HeadlessRun::countDue);
    connect(&testerModel, &TesterModel::ticksMissed, this, &HeadlessRun::countMissed);
    connect(&testerModel, &TesterModel::portLost, this, [this] {
        lostAt = QDateTime::currentDateTime();
        lostAfterFrame = frames;
    });
    connect(&testerModel, &TesterModel::portFailed, this, &HeadlessRun::portFailed);
    connect(&trafficRecord, &TrafficRecord::settled, this, &HeadlessRun::exchangeSettled);
    connect(&replyWait, &QTimer::timeout, &trafficRecord, &TrafficRecord::timeOut);
}

void HeadlessRun::start()
{
    // As the tester window's opening sets its model up, with the options for the controls.
    SetupSettings settings;
    settings.comPort = qint16(options.comPort);
    settings.pollRate = options.interval;
    settings.channelValues = options.channelValues;
    settings.channelStates = options.channelStates;
    testerModel.applySettings(settings);
    testerModel.markPortForReopen();
    // Bytes that wait in the port before the first frame answer nothing the run sent.
    testerModel.setInputEmptiedOnOpen(true);
    testerModel.setEscrow(options.escrow);
    testerModel.ValueChg();
    // Negative ACK repeats the frame built last, so the first one is built by a normal poll.
    testerModel.setPollMode(NormalPoll);
    started = QDateTime::currentDateTime();
    testerModel.setRunSwitch(true);
}

void HeadlessRun::stop()
{
    if (stopping || done)
        return;
    stopping = true;
    testerModel.setRunSwitch(false);
    if (trafficRecord.awaitingReply())
        replyWait.start(testerModel.pollInterval());
    else
        finish();
}

void HeadlessRun::countFrame()
{
    ++frames;
    if (frames == 1 && options.mode == NegativeAck)
        testerModel.setPollMode(NegativeAck);
    if ((options.polls > 0 && frames >= options.polls)
        || (ticksToRun > 0 && framesDue >= ticksToRun))
        stop();
}

// A run of --seconds S is the poll schedule's ticks within S, the first at the start: the same
// frames for the same command every time, ending one interval after the last.
void HeadlessRun::countDue()
{
    if (options.milliseconds > 0 && ticksToRun == 0) {
        const qint64 interval = testerModel.pollInterval();
        ticksToRun = (options.milliseconds + interval - 1) / interval;
    }
    ++framesDue;
}

void HeadlessRun::countMissed(int ticks)
{
    framesDue += ticks;
    if (ticksToRun > 0 && framesDue >= ticksToRun) {
        // The schedule's end passed while the run could not poll.
        framesDue = int(ticksToRun);
        stop();
    }
}

void HeadlessRun::exchangeSettled(const TrafficExchange &exchange)
{
    emit output(TrafficRecord::formatLine(exchange));
    if (exchange.kind == TrafficExchange::Kind::Sent) {
        silentFrames = exchange.answered ? 0 : silentFrames + 1;
        if (silentFrames == silentFramesBeforeLooking && holders.isEmpty())
            lookForHolders();
    }
    if (stopping && !trafficRecord.awaitingReply())
        finish();
}

void HeadlessRun::lookForHolders()
{
    holders = serialLine->otherHolders();
    if (!holders.isEmpty()) {
        emit error(QStringLiteral("brisvel-run: ")
                   + sharedDeviceNote(QStringLiteral("COM%1").arg(options.comPort), holders,
                                      silentFrames));
    }
}

void HeadlessRun::portFailed(const QString &message, const QString &detail)
{
    portFailure = lostAt.isValid() ? QStringLiteral("The line was lost at %1, after frame %2.")
                                             .arg(TrafficRecord::formatTime(lostAt))
                                             .arg(lostAfterFrame)
                                   : message;
    portError = portFailure + QLatin1Char('\n') + detail;
    emit error(QStringLiteral("System Error: ") + portFailure);
    emit error(detail);
    finish();
}

int HeadlessRun::exitCode() const
{
    if (!portError.isEmpty())
        return PortError;
    const TrafficCounts &counts = trafficRecord.counts();
    return counts.noResponses > 0 || counts.frames < framesDue ? NoResponse : AllAnswered;
}

void HeadlessRun::finish()
{
    if (done)
        return;
    done = true;
    ended = QDateTime::currentDateTime();
    replyWait.stop();
    testerModel.setRunSwitch(false);
    testerModel.closePort();
    if (options.json)
        emit summary(QString::fromUtf8(QJsonDocument(summaryJson()).toJson(QJsonDocument::Compact)));
    else
        emit summary(summaryText());
    emit finished(exitCode());
}

QString HeadlessRun::summaryText() const
{
    const NoteTally &tally = testerModel.tally();
    QStringList lines{RecordLayout::summaryHeading()};
    for (int i = 0; i < channelCount; ++i) {
        lines << QStringLiteral("%1  %2  %3  %4")
                         .arg(i + 1, 7)
                         .arg(tally.noteValue(i), 8)
                         .arg(tally.quantity(i), 8)
                         .arg(tally.amount(i), 10);
    }
    lines << QStringLiteral("  TOTAL  %1  %2  %3")
                     .arg(QString(), 8)
                     .arg(tally.quantity(NoteTally::totalRow), 8)
                     .arg(tally.amount(NoteTally::totalRow), 10);
    // The frames due beside those sent: a noisy line can hold some back.
    lines << acceptance.notesText() << QStringLiteral("Frames due        %1").arg(framesDue, 8)
          << acceptance.lineText()
          << QStringLiteral("Lines dropped     %1").arg(droppedLines ? droppedLines() : 0, 8);
    if (!holders.isEmpty())
        lines << QStringLiteral("Port also open in %1").arg(holders.join(QStringLiteral(", ")));
    return lines.join(QLatin1Char('\n'));
}

QJsonObject HeadlessRun::summaryJson() const
{
    const NoteTally &tally = testerModel.tally();
    QJsonArray channels;
    for (int i = 0; i < channelCount; ++i) {
        channels.append(QJsonObject{{QStringLiteral("channel"), i + 1},
                                    {QStringLiteral("value"), number(tally.noteValue(i))},
                                    {QStringLiteral("quantity"), number(tally.quantity(i))},
                                    {QStringLiteral("amount"), number(tally.amount(i))}});
    }
    QJsonObject summary = acceptance.json();
    const QJsonObject run{
            {QStringLiteral("com"), options.comPort},
            {QStringLiteral("interval"), testerModel.pollInterval()},
            {QStringLiteral("mode"), modeOptionValue(options.mode)},
            {QStringLiteral("escrow"), options.escrow},
            {QStringLiteral("channels"), channelDigits(options.channelStates)},
            {QStringLiteral("framesDue"), framesDue},
            {QStringLiteral("tally"), channels},
            {QStringLiteral("total"),
             QJsonObject{{QStringLiteral("quantity"), number(tally.quantity(NoteTally::totalRow))},
                         {QStringLiteral("amount"), number(tally.amount(NoteTally::totalRow))}}},
            {QStringLiteral("exitCode"), exitCode()},
    };
    for (auto it = run.begin(); it != run.end(); ++it)
        summary.insert(it.key(), it.value());
    summary.insert(QStringLiteral("linesDropped"), droppedLines ? droppedLines() : 0);
    if (!portError.isEmpty())
        summary.insert(QStringLiteral("error"), portError);
    if (lostAt.isValid()) {
        summary.insert(QStringLiteral("portLost"),
                       QJsonObject{{QStringLiteral("time"), TrafficRecord::formatTime(lostAt)},
                                   {QStringLiteral("afterFrame"), lostAfterFrame}});
    }
    if (!holders.isEmpty())
        summary.insert(QStringLiteral("holders"), QJsonArray::fromStringList(holders));
    return summary;
}
