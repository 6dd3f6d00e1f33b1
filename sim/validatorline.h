// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/serialline.h"
#include "link/validatorreply.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <bitset>
#include <chrono>

class QIODevice;
class ReplySource;

// Puts a reply source (the validator's engine, or a record played back) on a line: reads the
// commands that arrive on the device, writes the replies back when a real validator's would
// have arrived, and applies the line faults that the host's own tests need.
class ValidatorLine : public QObject
{
    Q_OBJECT

public:
    // Each applies once, to the next reply written (or withheld).
    enum class Fault { Drop, Corrupt, Garbage, Split, Extra, Late, Cut, Double, Echo };

    // A real validator's reply has finished arriving 19 characters after the host began to
    // write its command: the command's 8 and the reply's 11, about 19.8 ms. The command's 8
    // are already spent when its last byte arrives, so the reply is due 11 characters, about
    // 11.5 ms, after receipt.
    static constexpr std::chrono::nanoseconds replyDelay = std::chrono::duration_cast<
            std::chrono::nanoseconds>(LineCharacters(ValidatorReply::length));
    // The gap between the two pieces of a split reply, and where it is cut.
    static constexpr std::chrono::milliseconds splitGap{6};
    static constexpr int splitAt = 4;
    // A cut reply stops after this many bytes.
    static constexpr int cutAt = 8;
    // What the faults add or change stays below 0x80, so it passes a line of 7 data bits.
    static constexpr char garbageByte = 0x55;
    static constexpr char corruptMask = 0x55;
    static constexpr char extraBytes[] = {0x00, 0x7F};

    ValidatorLine(ReplySource &source, QIODevice *device, QObject *parent = nullptr);

    // Reply at once instead of after replyDelay.
    void setFast(bool fast) { this->fast = fast; }
    // A slow validator: every reply comes this much later still.
    void setExtraDelay(std::chrono::milliseconds delay) { extraDelay = delay; }
    void inject(Fault fault);
    // Closes the line; nothing more is read or written.
    void hangUp();

    // Replies written to the line in full.
    int repliesSent() const { return sentReplyCount; }

signals:
    // A command frame (answered true) or bytes thrown away (answered false).
    void received(const QByteArray &bytes, bool answered);
    void sent(const QByteArray &bytes);

private:
    struct Piece
    {
        qint64 dueNs;
        QByteArray bytes;
        bool endsReply;
    };

    void readCommands();
    void sendReply(QByteArray reply, const QByteArray &command);
    void sendLater(const QByteArray &reply);
    void schedule(qint64 dueNs, const QByteArray &bytes, bool endsReply);
    void writeDue();
    bool takeFault(Fault fault);

    ReplySource &source;
    QPointer<QIODevice> device;
    bool fast = false;
    std::chrono::milliseconds extraDelay{0};
    std::bitset<9> faults;
    QByteArray heldReply; // a late reply, written when the next command arrives
    QList<Piece> queue; // in order of writing; due times never decrease
    QTimer timer;
    QElapsedTimer clock;
    int sentReplyCount = 0;
};
