// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/channels.h"
#include "link/hostcommand.h"
#include "link/pollmode.h"
#include "link/validatorreply.h"
#include "settings/file/setupfile.h"
#include "window/model/notetally.h"
#include "window/model/polltimer.h"
#include "window/model/replyreport.h"
#include "window/model/trafficlog.h"

#include <QColor>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <array>

class SerialLine;

// The members that the send and receive sides share.
struct LinkMembers
{
    HostCommand command; // the last frame built
    bool ackToggle = false;
    bool stackRequest = false;
    bool returnRequest = false;
    bool replyReceived = false; // a reply with a good checksum arrived since the last send
    PollMode pollMode = NoPollMode;
    bool portReopenPending = false; // the next send opens the port first
    bool portReady = false; // the last open succeeded
    qint16 comPort = 0; // 1 = COM1
    ValidatorReply lastReply; // the last good reply
    int noteIndex = 0; // channel of the last reply, 0 for none
    QString stateTag;
    QString eventTag;
    QString noteIndexText;
    DecodeMemory decodeMemory; // stateText, eventText, lastNoteIndexText
};

// What the tester window's controls hold. The window mirrors these into its widgets; the
// operator's changes come back through the setters.
struct PanelState
{
    bool runSwitch = false; // Check4
    bool escrow = false; // Check6
    bool calibration = false; // Check3
    std::array<QString, channelCount> channelCaptions; // Check1 captions: the channels' note values
    std::array<int, channelCount> channelStates{}; // Check1 values: 0 clear, 1 ticked, 2 greyed
    QString portText; // Text1
    QString intervalText; // Text2
    QString hostState; // Label14
    QString validatorState; // Label15
    QString lastEvent; // Label13
    QColor sendLamp; // Shape2(0)
    QColor receiveLamp; // Shape2(1)
};

// The tester window without its widgets: the poll cycle, the serial port, the receive side,
// the traffic log and the note tally. Everything runs on the thread that owns it.
class TesterModel : public QObject
{
    Q_OBJECT

public:
    enum class Entry { Port, Interval };
    // Why bytes taken off the line went to no reply.
    enum class Dropped {
        BadStart, // a read that did not begin with the start byte
        PauseEnd, // what came in the pause after a bad start, discarded with it
        BrokenReply, // the start of a reply that stopped coming, emptied before the next send
        Stray, // bytes after a reply's eleventh that make no whole reply
    };

    // The poll interval's range in ms; the interval box's text is brought into it.
    static constexpr int shortestInterval = 30;
    static constexpr int longestInterval = 65535;

    static const QColor lampDark;
    static const QColor lampLit;

    // The line stays the caller's.
    explicit TesterModel(SerialLine *line, QObject *parent = nullptr);

    const LinkMembers &members() const { return link; }
    const PanelState &panel() const { return controls; }
    const TrafficLog &log() const { return trafficLog; }
    const NoteTally &tally() const { return noteTally; }
    bool pollTimerActive() const { return PollTime.isActive(); }
    // The receive side waits out a garbled transmission before it discards the input.
    bool resyncPending() const { return resyncWait.isActive(); }
    int pollInterval() const { return pollTimerInterval; }

    void setPortText(const QString &text);
    void setIntervalText(const QString &text);
    void setChannelCaption(int index, const QString &caption);
    void setChannelState(int index, int state);
    void setEscrow(bool on);
    void setCalibration(bool on);
    // The run switch changed, by the operator or by the program.
    void setRunSwitch(bool on);
    void clickModeButton();
    // Selects a mode before the window opens; the opening then advances it once.
    void setPollMode(PollMode mode);
    void setComPort(qint16 port);
    // SETUP.INI's values, as a window's opening takes them: the channels' captions and enables,
    // the interval, the port number and its text, and the display profile, kept to be saved.
    void applySettings(const SetupSettings &settings);
    // The values to save: those applied, as the operator and the runs have changed them since.
    SetupSettings settings() const;
    void markPortForReopen();
    // Empties the port's input each time it opens, so that bytes already waiting are not taken
    // for a reply.
    void setInputEmptiedOnOpen(bool on);
    // Empties the port's input at each run start, whether the port is open yet or not: what
    // waits there answers no frame of the run.
    void setInputEmptiedAtRunStart(bool on);
    void closePort();

    void SendCommand();
    void ResetTotals();
    void ValueChg();

signals:
    void runSwitchChanged(bool on);
    void portTextChanged(const QString &text);
    void intervalTextChanged(const QString &text);
    void entryRejected(TesterModel::Entry entry);
    void portFailed(const QString &message, const QString &detail);
    void modeChanged();
    void logChanged();
    void displaysChanged();
    void lampsChanged();
    void tallyChanged();
    // The tally went back to zero; figures kept beside it start again too.
    void totalsReset();
    void channelCaptionsChanged();
    void channelStatesChanged();
    // The conversation as the log takes it in, for a record kept beside the log. A sent-frame
    // line was logged for `command`, right after its frame was handed to the port (nothing
    // reached the port when its frame text is empty), at the time of day `wallMs` and the
    // monotonic `steadyMs` of the model's clock, which also times the replies.
    void commandLogged(const HostCommand &command, qint64 wallMs, qint64 steadyMs);
    // A frame that began with the start byte went through the whole receive side: a good reply
    // logged, shown and counted, or anything else taken as no response.
    void replyRead(const ReplyReport &report);
    // A frame fell due: at a run start, and at each poll timer tick while the run switch is on.
    // A tick during the receive side's pause, or while a reply is still arriving, sends when
    // that is over.
    void sendDue();
    // Ticks of the poll timer that fell due while the switch was on and sent nothing: the
    // program could not take them in time.
    void ticksMissed(int ticks);
    // Bytes taken off the line that are no reply: logged nowhere, and no part of the decoding.
    void bytesDropped(const QByteArray &bytes, TesterModel::Dropped why);
    // A whole good reply after the eleventh byte of a read: not shown or counted.
    void secondReplyRead(const ReplyReport &report);
    // The line failed while it was open; portFailed follows.
    void portLost();

private:
    void BuildCommand();
    void OpenSerialPort();
    void ReceiveReply();
    void readTail(const QByteArray &tail);
    void reportSecondReplies(const QList<ValidatorReply> &replies);
    void stamp(ReplyReport &report) const;
    void received();
    void takeWaitingInput();
    bool replyArriving() const;
    void releaseHeldSend();
    void LogCommand();
    void LogReply();
    void CountNote();

    void startRun();
    void suspend();
    void rejectEntry(Entry entry);
    void portFailure(int errorNumber, const QString &detail);
    void lineLost();
    void pollTick();
    void dimLamps();
    void startResync();
    void endResync();
    void setPollTimerEnabled(bool enabled);
    void setPollTimerInterval(int milliseconds);

    SerialLine *MSComm1;
    qint16 settingsProfile = ProfileNotChosen; // SETUP.INI's Sys.Color, kept to be saved
    LinkMembers link;
    PanelState controls;
    TrafficLog trafficLog;
    NoteTally noteTally;

    PollTimer PollTime; // sends while the run switch is on
    QTimer LEDBlink; // dims the lamps 24 ms after a send
    QTimer resyncWait; // lets a garbled transmission finish before the input is discarded
    QTimer arrivalWait; // lets a reply that is still arriving at a tick come whole
    QElapsedTimer sinceArrival; // since bytes last came
    QElapsedTimer clock; // times the frames sent and the replies read
    QByteArray tailStart; // a reply begun after the eleventh byte of a read
    bool sendHeld = false; // a tick fell due during the pause or while a reply was arriving
    bool countedSinceBuild = false; // a stacked note was counted since the last frame was built
    // A timer with interval 0 raises no tick, so it is only started with a non-zero interval.
    bool pollTimerEnabled = true;
    int pollTimerInterval = 0;
    bool emptyInputOnOpen = false;
    bool emptyInputAtRunStart = false;
};
