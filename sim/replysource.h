// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/hostcommand.h"

#include <QByteArray>
#include <QList>

// One thing taken from the line: a command frame with its reply, or bytes thrown away while
// looking for the next start byte (then the reply is empty).
struct Exchange
{
    QByteArray received;
    QByteArray reply;
    // Further replies to the same command, each sent one reply's time after the one before.
    QList<QByteArray> laterReplies;
};

// The validator's end of the line without any transport: splits the bytes that arrive into
// command frames and junk, and has each well-formed frame answered by respond().
class ReplySource
{
public:
    static constexpr int commandLength = HostCommand::length;

    virtual ~ReplySource() = default;

    // Answers the well-formed frames and throws the rest away up to the next start byte. An
    // incomplete frame at the end waits for the next call.
    QList<Exchange> receive(const QByteArray &bytes);

protected:
    // The answer to a well-formed command frame.
    virtual Exchange respond(const QByteArray &command) = 0;

private:
    QByteArray pending; // bytes waiting to complete a frame
};
