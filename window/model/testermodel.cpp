// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/model/testermodel.h"

#include "base/numbers.h"
#include "link/serialline.h"
#include "link/trafficlines.h"

#include <QDateTime>

#include <chrono>
#include <utility>

namespace {

constexpr int lampMilliseconds = 24;
// Long enough for the rest of a garbled 11-byte transmission to arrive at 9600 baud.
constexpr int resyncMilliseconds = 30;
constexpr qint64 replyThreshold = 10;
// A reply's bytes come back to back, a character a millisecond at 9600 baud, and a USB adapter
// hands on what it has at least every 16 ms (its latency timer): a reply that has not gone on
// for 20 ms has stopped coming.
constexpr int arrivalGapMilliseconds = 20;
// A late tick still sends while its frame and the reply have time on the line before the next
// one (19.8 ms at 9600 baud), and a little more.
constexpr auto exchangeTime = std::chrono::ceil<std::chrono::milliseconds>(
                                      LineCharacters(HostCommand::length + ValidatorReply::length))
                              + std::chrono::milliseconds(5);

} // namespace

const QColor TesterModel::lampDark(0x40, 0x00, 0x00);
const QColor TesterModel::lampLit(0xFF, 0x00, 0x00);

TesterModel::TesterModel(SerialLine *line, QObject *parent)
    : QObject(parent)
    , MSComm1(line)
{
    controls.sendLamp = lampDark;
    controls.receiveLamp = lampDark;
    controls.channelCaptions = defaultNoteValues();

    LEDBlink.setInterval(lampMilliseconds);
    LEDBlink.setSingleShot(true);
    resyncWait.setInterval(resyncMilliseconds);
    resyncWait.setSingleShot(true);
    arrivalWait.setSingleShot(true);
    sinceArrival.start();
    clock.start();

    PollTime.setTimeNeeded(int(exchangeTime.count()));
    connect(&PollTime, &PollTimer::timeout, this, &TesterModel::pollTick);
    connect(&PollTime, &PollTimer::missed, this, [this](int ticks) {
        if (controls.runSwitch)
            emit ticksMissed(ticks);
    });
    connect(&LEDBlink, &QTimer::timeout, this, &TesterModel::dimLamps);
    connect(&resyncWait, &QTimer::timeout, this, &TesterModel::endResync);
    connect(&arrivalWait, &QTimer::timeout, this, &TesterModel::releaseHeldSend);
    connect(MSComm1, &SerialLine::received, this, &TesterModel::received);
    connect(MSComm1, &SerialLine::lineLost, this, &TesterModel::lineLost);
}

void TesterModel::setPortText(const QString &text)
{
    if (controls.portText == text)
        return;
    controls.portText = text;
    emit portTextChanged(text);
}

void TesterModel::setIntervalText(const QString &text)
{
    if (controls.intervalText == text)
        return;
    controls.intervalText = text;
    emit intervalTextChanged(text);
}

void TesterModel::setChannelCaption(int index, const QString &caption)
{
    if (controls.channelCaptions[index] == caption)
        return;
    controls.channelCaptions[index] = caption;
    emit channelCaptionsChanged();
}

void TesterModel::setChannelState(int index, int state)
{
    if (controls.channelStates[index] == state)
        return;
    controls.channelStates[index] = state;
    emit channelStatesChanged();
}

void TesterModel::setEscrow(bool on)
{
    controls.escrow = on;
}

void TesterModel::setCalibration(bool on)
{
    controls.calibration = on;
}

void TesterModel::setRunSwitch(bool on)
{
    if (controls.runSwitch == on)
        return;
    controls.runSwitch = on;
    emit runSwitchChanged(on);
    if (on)
        startRun();
    else
        suspend();
}

void TesterModel::clickModeButton()
{
    link.pollMode = nextPollMode(link.pollMode);
    emit modeChanged();
}

void TesterModel::setPollMode(PollMode mode)
{
    link.pollMode = mode;
    emit modeChanged();
}

void TesterModel::setComPort(qint16 port)
{
    link.comPort = port;
}

void TesterModel::applySettings(const SetupSettings &settings)
{
    for (int i = 0; i < channelCount; ++i) {
        setChannelCaption(i, settings.channelValues[size_t(i)]);
        setChannelState(i, settings.channelStates[size_t(i)]);
    }
    setIntervalText(settings.pollRate);
    setComPort(settings.comPort);
    setPortText(QString::number(settings.comPort));
    settingsProfile = settings.displayProfile;
}

SetupSettings TesterModel::settings() const
{
    SetupSettings settings;
    settings.displayProfile = settingsProfile;
    // The port in use, not the text of the port box.
    settings.comPort = link.comPort;
    settings.pollRate = controls.intervalText;
    settings.channelValues = controls.channelCaptions;
    settings.channelStates = controls.channelStates;
    return settings;
}

void TesterModel::setInputEmptiedOnOpen(bool on)
{
    emptyInputOnOpen = on;
}

void TesterModel::setInputEmptiedAtRunStart(bool on)
{
    emptyInputAtRunStart = on;
}

void TesterModel::markPortForReopen()
{
    link.portReopenPending = true;
}

void TesterModel::closePort()
{
    if (MSComm1->isOpen())
        MSComm1->close();
}

void TesterModel::startRun()
{
    // The boxes take what reads as the same number in every locale, as SETUP.INI stores it. A
    // number beyond the port number's 16 bits cannot name a port: it is refused like text.
    const std::optional<double> port = Numbers::parseEntry(controls.portText);
    if (!port || !Numbers::toInt16(controls.portText)) {
        rejectEntry(Entry::Port);
        return;
    }
    std::optional<double> interval = Numbers::parseEntry(controls.intervalText);
    if (!interval) {
        rejectEntry(Entry::Interval);
        return;
    }
    if (*port != link.comPort) {
        link.portReopenPending = true;
        link.comPort = *Numbers::toInt16(controls.portText);
    }
    if (*interval < shortestInterval) {
        setIntervalText(QString::number(shortestInterval));
        interval = shortestInterval;
    } else if (*interval > longestInterval) {
        setIntervalText(QString::number(longestInterval));
        interval = longestInterval;
    }
    if (link.pollMode == NormalPoll || link.pollMode == NegativeAck) {
        setPollTimerInterval(int(Numbers::roundHalfEven(*interval)));
        setPollTimerEnabled(true);
        link.replyReceived = true;
        link.ackToggle = true;
        trafficLog.clear();
        emit logChanged();
    }
    if (emptyInputAtRunStart)
        MSComm1->clearInBuffer();
    emit sendDue();
    SendCommand();
}

void TesterModel::suspend()
{
    setPollTimerEnabled(false);
    sendHeld = false;
    controls.hostState = QStringLiteral(" SYSTEM SUSPENDED");
    emit displaysChanged();
}

void TesterModel::rejectEntry(Entry entry)
{
    emit entryRejected(entry);
    setRunSwitch(false);
}

void TesterModel::SendCommand()
{
    if (link.portReopenPending)
        OpenSerialPort();
    if (!link.portReady)
        return;
    link.portReopenPending = false;
    takeWaitingInput();

    controls.sendLamp = lampLit;
    if (!LEDBlink.isActive())
        LEDBlink.start();
    emit lampsChanged();

    if (link.replyReceived && link.pollMode != NegativeAck)
        BuildCommand();
    // Before the first build there is nothing to send.
    if (!link.command.frameText.isEmpty() && !MSComm1->write(link.command.frameText)) {
        lineLost();
        return;
    }
    LogCommand();
    link.replyReceived = false;
    if (link.pollMode == StepInto)
        setRunSwitch(false);
}

void TesterModel::BuildCommand()
{
    BuildInputs in;
    in.channelStates = controls.channelStates;
    in.escrow = controls.escrow;
    in.calibration = controls.calibration;
    in.ackToggle = link.ackToggle;
    in.escrowed = link.lastReply.escrowed();
    in.noteIndex = link.noteIndex;

    const BuildResult built = ::BuildCommand(in);
    countedSinceBuild = false;
    link.command = built.command;
    link.ackToggle = built.ackToggle;
    link.stackRequest = built.stackRequest;
    link.returnRequest = built.returnRequest;
    controls.hostState = built.hostState;
    emit displaysChanged();
}

void TesterModel::OpenSerialPort()
{
    closePort();
    if (!openValidatorLine(MSComm1, link.comPort)) {
        portFailure(MSComm1->errorNumber(), MSComm1->errorDetail());
        return;
    }
    link.portReady = true;
    if (emptyInputOnOpen)
        MSComm1->clearInBuffer();
}

void TesterModel::portFailure(int errorNumber, const QString &detail)
{
    link.portReady = false;
    link.portReopenPending = true;
    setRunSwitch(false);
    emit portFailed(QStringLiteral("Communication Port Error (#:%1).  COM port maybe in use by "
                                   "other application(s) or does not exist.")
                            .arg(errorNumber),
                    detail);
    emit entryRejected(Entry::Port);
}

void TesterModel::lineLost()
{
    if (!link.portReady)
        return;
    closePort();
    emit portLost();
    portFailure(MSComm1->errorNumber(), MSComm1->errorDetail());
}

void TesterModel::received()
{
    sinceArrival.restart();
    ReceiveReply();
    if (sendHeld && arrivalWait.isActive() && !replyArriving()) {
        arrivalWait.stop();
        releaseHeldSend();
    }
}

// What waits when a frame is about to go belongs to the frame before: a whole reply is its late
// reply, handled now rather than taken for the answer to the new frame; fewer bytes are a reply
// that stopped coming, and go, so that they never join the next reply.
void TesterModel::takeWaitingInput()
{
    for (qint64 waiting = MSComm1->inBufferCount(); waiting > 0 && !resyncWait.isActive();) {
        ReceiveReply();
        const qint64 left = MSComm1->inBufferCount();
        if (left == waiting)
            break; // less than a reply
        waiting = left;
    }
    if (!tailStart.isEmpty())
        emit bytesDropped(std::exchange(tailStart, {}), Dropped::Stray);
    if (MSComm1->inBufferCount() > 0 && !resyncWait.isActive())
        emit bytesDropped(MSComm1->input(), Dropped::BrokenReply);
}

bool TesterModel::replyArriving() const
{
    const bool partial = !tailStart.isEmpty()
                         || (MSComm1->inBufferCount() > 0
                             && MSComm1->inBufferCount() <= replyThreshold);
    return partial && sinceArrival.elapsed() < arrivalGapMilliseconds;
}

void TesterModel::ReceiveReply()
{
    if (!link.portReady)
        return;
    if (!tailStart.isEmpty()) {
        // The rest of a reply begun after the eleventh byte of the read before.
        if (tailStart.size() + MSComm1->inBufferCount() < ValidatorReply::length)
            return;
        readTail(std::exchange(tailStart, {}) + MSComm1->input());
        return;
    }
    if (MSComm1->inBufferCount() <= replyThreshold)
        return;
    const QByteArray read = MSComm1->input();
    const std::optional<ValidatorReply> reply = ValidatorReply::fromRead(read);
    if (!reply) {
        emit bytesDropped(read, Dropped::BadStart);
        startResync();
        return;
    }
    controls.receiveLamp = lampLit;
    emit lampsChanged();
    const ReadTail tail = splitTail(read.mid(ValidatorReply::length));
    if (!tail.stray.isEmpty())
        emit bytesDropped(tail.stray, Dropped::Stray);
    tailStart = tail.incomplete;
    ReplyReport report = reportReply(*reply, link.decodeMemory, link.lastReply);
    stamp(report);
    if (!report.good) {
        // Noise or a damaged reply: no response, like a reply that never came. Nothing in it is
        // decoded, shown or counted, and a good reply already logged for the frame stays.
        if (!link.replyReceived) {
            trafficLog.writeReply(noResponseLine());
            emit logChanged();
        }
        emit replyRead(report);
        reportSecondReplies(tail.replies);
        return;
    }

    const DecodedReply &decoded = report.decoded;
    link.replyReceived = true;
    link.lastReply = *reply;
    link.stateTag = decoded.stateTag;
    link.eventTag = decoded.eventTag;
    link.noteIndex = decoded.noteIndex;
    link.noteIndexText = decoded.noteIndexText;
    link.decodeMemory = decoded.memory;

    LogReply();
    controls.validatorState = decoded.stateCaption();
    const QString noteValue = link.noteIndex ? noteTally.noteValue(link.noteIndex - 1) : QString();
    controls.lastEvent = decoded.eventCaption(noteValue);
    emit displaysChanged();

    // A stacked note counts once. The validator repeats its reply, byte for byte, for a command
    // that repeats the ACK bit: a late reply and the answer to the host's repeat, or the first
    // frame of a new run, which always starts with ACK 0. A new report always differs, at least
    // in its control byte, from the reply before it, and the validator makes one for each new
    // frame: so once a note has been counted for a frame, no reply counts again until the next
    // frame is built, even when some other frame came in between.
    if (decoded.stacked() && report.newReport && !countedSinceBuild
        && link.pollMode != NegativeAck) {
        countedSinceBuild = true;
        report.stackedNote = true;
        CountNote();
    }
    emit replyRead(report);
    reportSecondReplies(tail.replies);
}

// A whole reply after a read's eleventh byte: decoded for the record alone, never for the
// displays or the tally.
void TesterModel::reportSecondReplies(const QList<ValidatorReply> &replies)
{
    for (const ValidatorReply &second : replies) {
        ReplyReport report = reportReply(second, {}, {});
        stamp(report);
        emit secondReplyRead(report);
    }
}

void TesterModel::stamp(ReplyReport &report) const
{
    report.wallMs = QDateTime::currentMSecsSinceEpoch();
    report.steadyMs = clock.elapsed();
}

// Bytes after a read's eleventh, and what completes a reply begun there: never decoded.
void TesterModel::readTail(const QByteArray &tail)
{
    const ReadTail split = splitTail(tail);
    if (!split.stray.isEmpty())
        emit bytesDropped(split.stray, Dropped::Stray);
    tailStart = split.incomplete;
    reportSecondReplies(split.replies);
}

void TesterModel::LogCommand()
{
    if (!link.replyReceived)
        LogReply();
    trafficLog.writeSent(sentFrameLine(link.command));
    emit logChanged();
    emit commandLogged(link.command, QDateTime::currentMSecsSinceEpoch(), clock.elapsed());
}

void TesterModel::LogReply()
{
    if (link.replyReceived) {
        trafficLog.writeReply(
                replyLine(link.lastReply, link.stateTag, link.noteIndexText, link.eventTag));
    } else {
        trafficLog.writeReply(noResponseLine());
        controls.validatorState = QStringLiteral(" ");
        emit displaysChanged();
    }
    emit logChanged();
}

void TesterModel::CountNote()
{
    noteTally.CountNote(link.noteIndex);
    emit tallyChanged();
}

void TesterModel::ResetTotals()
{
    noteTally.ResetTotals();
    emit tallyChanged();
    emit totalsReset();
}

void TesterModel::ValueChg()
{
    noteTally.ValueChg(controls.channelCaptions);
    emit tallyChanged();
}

void TesterModel::pollTick()
{
    if (!controls.runSwitch)
        return;
    emit sendDue();
    if (resyncWait.isActive()) {
        sendHeld = true;
    } else if (replyArriving()) {
        // Not cut: the send waits until the reply is whole or has stopped coming.
        sendHeld = true;
        arrivalWait.start(arrivalGapMilliseconds - int(sinceArrival.elapsed()));
    } else {
        SendCommand();
    }
}

void TesterModel::releaseHeldSend()
{
    if (resyncWait.isActive())
        return;
    if (std::exchange(sendHeld, false) && controls.runSwitch)
        SendCommand();
}

void TesterModel::dimLamps()
{
    controls.sendLamp = lampDark;
    controls.receiveLamp = lampDark;
    emit lampsChanged();
}

void TesterModel::startResync()
{
    // The rest of the garbled transmission arrives during the pause; replies that come meanwhile
    // are handled as usual, and the input is discarded when the pause is over. The poll timer
    // keeps its schedule: a tick that falls due meanwhile is held until the pause ends. A pause
    // under way is not lengthened, so polling goes on at its rate on a noisy line.
    if (!resyncWait.isActive())
        resyncWait.start();
}

void TesterModel::endResync()
{
    // The input is discarded: what came in the pause goes with the bad start.
    if (const QByteArray rest = MSComm1->input(); !rest.isEmpty())
        emit bytesDropped(rest, Dropped::PauseEnd);
    tailStart.clear();
    // A timer stopped by a suspend starts again, as after every pause.
    setPollTimerEnabled(true);
    arrivalWait.stop();
    releaseHeldSend();
}

void TesterModel::setPollTimerEnabled(bool enabled)
{
    pollTimerEnabled = enabled;
    if (!enabled)
        PollTime.stop();
    else if (pollTimerInterval > 0 && !PollTime.isActive())
        PollTime.start(pollTimerInterval);
}

void TesterModel::setPollTimerInterval(int milliseconds)
{
    // A new interval restarts the count, as on a run start.
    pollTimerInterval = milliseconds;
    if (pollTimerEnabled && pollTimerInterval > 0)
        PollTime.start(pollTimerInterval);
    else
        PollTime.stop();
}
