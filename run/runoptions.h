// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/channels.h"
#include "link/pollmode.h"

#include <QString>

#include <array>
#include <optional>

class QCommandLineParser;

// What a run without a window does: the port, the poll cycle's settings and when to stop.
struct RunOptions
{
    int comPort = 0;
    QString dataFolder; // holds ports/ and SETUP.INI
    QString interval; // milliseconds, as the poll-interval box takes them
    int polls = 0; // stop after this many frames; 0: no limit
    qint64 milliseconds = 0; // stop after this time; 0: no limit
    PollMode mode = NormalPoll; // NormalPoll or NegativeAck
    bool escrow = true;
    std::array<QString, channelCount> channelValues;
    std::array<int, channelCount> channelStates{};
    bool json = false;
    QString reportPath; // a text report written at the end; none when empty
};

// "normal" or "negative-ack", as --mode takes it.
QString modeOptionValue(PollMode mode);

// Declares the options of brisvel-run.
void addRunOptions(QCommandLineParser &parser);

// The options of a parsed command line. The interval, the channel values and the channel
// enables that the command line leaves open come from SETUP.INI in the data folder, as the
// tester window would read them. Nothing, with `error` set, when an option is wrong.
std::optional<RunOptions> readRunOptions(const QCommandLineParser &parser, QString *error);
