// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "channels.h"

#include <QByteArray>
#include <QString>

#include <array>

// Bytes and bits that both sides of the line share.
namespace Frame {
constexpr char startByte = 0x02;
constexpr char endByte = 0x03;
// The host's escrow instruction in a command's data1.
constexpr quint8 escrowEnabled = 0x10;
constexpr quint8 stackNote = 0x20;
constexpr quint8 returnNote = 0x40;
} // namespace Frame

// The 8-byte frame the host sends: 02 08 control data0 data1 data2 03 checksum.
struct HostCommand
{
    static constexpr int length = 8;

    qint16 control = 0;
    qint16 data0 = 0;
    qint16 data1 = 0;
    qint16 data2 = 0;
    qint16 checksum = 0;
    QByteArray frameText; // the bytes written to the line; empty until the first build
    QString tag; // "   ", "CAL", "STK" or "RTN"
};

// What a build reads: the window's switches and the last reply's escrow report.
struct BuildInputs
{
    // State of each channel enable box: 0 clear, 1 ticked, 2 greyed (greyed counts as clear).
    std::array<int, channelCount> channelStates{};
    bool escrow = false; // "Escrow Enable"
    bool calibration = false; // "Calibration"
    bool ackToggle = false; // the toggle before this build
    bool escrowed = false; // the last reply reported a note held in escrow
    int noteIndex = 0; // channel of that note, 1 to 7, or 0 when unnamed
};

struct BuildResult
{
    HostCommand command;
    bool ackToggle = false;
    bool stackRequest = false;
    bool returnRequest = false;
    QString hostState; // caption of the host state display
};

BuildResult BuildCommand(const BuildInputs &inputs);

// The checksum both sides put last in a frame, command or reply: the XOR of the bytes after the
// start byte up to the end byte, which it leaves out.
quint8 frameChecksum(QByteArrayView frame);
