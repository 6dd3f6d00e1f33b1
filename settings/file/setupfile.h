// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/channels.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

// The layout a window shows, SETUP.INI's Sys.Color: high colour 800 x 600, or 256 colour
// 640 x 480.
enum DisplayProfile : qint16 { ProfileNotChosen = 0, HighColour = 1, Colour256 = 2 };

// The 17 values of SETUP.INI. A default-constructed value holds what a tester window has when
// there is no file, except the display profile, which is that window's own.
struct SetupSettings
{
    qint16 displayProfile = ProfileNotChosen;
    qint16 comPort = 1;
    QString pollRate = QStringLiteral("100"); // kept exactly as typed
    std::array<QString, channelCount> channelValues = defaultNoteValues();
    // 0 clear, 1 ticked, 2 greyed (read, never produced by the window).
    std::array<int, channelCount> channelStates = {1, 1, 1, 1, 1, 1, 1};

    static SetupSettings defaults(DisplayProfile profile);

    bool operator==(const SetupSettings &) const = default;
};

// The value of the first line of `remainder`, which loses that line: whatever follows the
// character after the line's first "=", up to the line end (CR LF, a bare LF or a bare CR),
// untrimmed. Nothing when the remainder is empty, or the line has no "=" or no character after
// it.
std::optional<QString> ReadNextSetting(QString &remainder);

// The tester window's read of an existing file. A file as the program writes it is read line by
// line; in a file edited by hand each line that names one of the 17 keys sets that key, and a
// file naming none of them is read line by line. A leading UTF-8 byte-order mark is skipped. The
// profile is read but not used: the run keeps `profile`, the one it started with. A value that
// cannot be read keeps its no-file default.
SetupSettings parseSetupText(const QString &text, DisplayProfile profile);

// Whether `caption`, written as a channel value, reads back as a whole number rather than as
// the channel's default.
bool channelValueReadable(const QString &caption);

// The whole file: 17 lines "key = value" with 14-character prefixes, each ending in CR LF.
QByteArray formatSetup(const SetupSettings &settings);

// Whether start-up takes `text` for a settings file: it holds "Sys.Color" somewhere.
bool isSettingsText(const QString &text);

// The profile that start-up takes from the file at `path`: the whole number of Sys.Color, read
// as parseSetupText reads, when the file holds "Sys.Color" anywhere; ProfileNotChosen when
// there is no file, it cannot be read, or the number is not a profile. A file without
// "Sys.Color" is moved aside to SETUP.INI.bak beside it, replacing an older one.
DisplayProfile readStartupProfile(const QString &path);

// The first 64 KiB of the file as 8-bit text. Nothing when there is no file, or when it cannot be
// read as a regular file: `unreadable` then tells why (a named pipe, say, is never opened).
std::optional<QString> loadSetupFile(const QString &path, QString *unreadable = nullptr);

// Why the tester window must take no settings from the file at `path` and must not write over
// it: it cannot be read, or it holds no "Sys.Color" and so is still there only because start-up
// could not move it aside. Empty when the window may use it, and then `text` holds the file's
// text, or nothing when there is no file.
QString setupFileRefusal(const QString &path, std::optional<QString> *text);

// `value` whole, as a message shows it: control characters as \x00 to \x1f, \x7f to \x9f,
// so that none cuts the message short or acts on a terminal.
QString printableValue(const QString &value);

// Replaces the file only once the new one is complete. On failure returns false and sets
// `error` to a text naming the path and the system's reason.
bool saveSetupFile(const QString &path, const SetupSettings &settings, QString *error);

QString setupFilePath(const QString &folder);
// Where start-up moves a file that is not a settings file.
QString setupBackupPath(const QString &path);
