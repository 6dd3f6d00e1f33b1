// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/channels.h"
#include "link/frame.h"

#include <QByteArray>
#include <QString>

#include <array>

// The 8-byte frame the host sends: 02 08 control data0 data1 data2 03 checksum. Its fields are
// read from its bytes, and all 0 before the first build.
struct HostCommand
{
    static constexpr int length = 8;

    QByteArray frameText; // the bytes written to the line; empty until the first build

    // 02 08 control data0 data1 00 03 checksum.
    static QByteArray frame(quint8 control, quint8 data0, quint8 data1);

    // The frame as its fields hold it.
    QByteArray bytes() const;
    quint8 control() const { return quint8(bytes()[Frame::controlAt]); }
    quint8 data0() const { return quint8(bytes()[Frame::dataAt]); }
    quint8 data1() const { return quint8(bytes()[Frame::dataAt + 1]); }
    quint8 data2() const { return quint8(bytes()[Frame::dataAt + 2]); }
    quint8 checksum() const { return quint8(bytes()[length - 1]); }
    // "STK" or "RTN" for a stack or return instruction, else "CAL" for a calibration command,
    // else three blanks; empty before the first build.
    QString tag() const;
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
