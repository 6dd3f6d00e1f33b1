// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The layout of a traffic record line, which the tester writes and the simulator's replay reads.
// Columns, counted from 1: 1-28 the sent-frame line (blanks for a reply with no frame); 31-73
// the reply line or the no-response line (blanks while no reply has come); 76-104 the time of
// the send (of the arrival for a reply with no frame); 107-114 the latency in ms or "-"; 117-128
// the reply's state; 131-141 its event ("-" when none); then "  # " and remarks, when there are
// any. No trailing blanks.
namespace RecordLayout {

constexpr int sentWidth = 28;
constexpr int replyStart = sentWidth + 2; // where the reply column starts, counted from 0
constexpr int replyWidth = 43;
constexpr int latencyWidth = 8;
constexpr int stateWidth = 12; // "STACKER FULL"
constexpr int eventWidth = 11; // "INVALID CMD"

inline QString gap()
{
    return QStringLiteral("  ");
}

// Starts the remarks, after the columns.
inline QString remarkMark()
{
    return QStringLiteral("  # ");
}

// The remarks a replay acts on. A frame that is not a good reply keeps its bytes after one of
// the first two.
inline QString badChecksumRemark()
{
    return QStringLiteral("bad checksum: ");
}

inline QString badFrameRemark()
{
    return QStringLiteral("bad frame: ");
}

// Bytes that came and are no part of a reply, which a replay leaves out.
inline QString strayBytesRemark()
{
    return QStringLiteral("stray bytes: ");
}

inline QString nothingSentRemark()
{
    return QStringLiteral("nothing sent: no frame built yet");
}

// brisvel-run prints its summary after the record lines: as text under this heading, or as one
// line of JSON.
inline QString summaryHeading()
{
    return QStringLiteral("Channel     Value  Quantity      Amount");
}

} // namespace RecordLayout
