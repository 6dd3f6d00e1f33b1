#pragma once

#include "channels.h"

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
// character after the line's first "=", up to the line end (CR LF, or a bare LF), untrimmed.
// Nothing when the remainder is empty, or the line has no "=" or no character after it.
std::optional<QString> ReadNextSetting(QString &remainder);

// The tester window's read of an existing file. A file as the program writes it is read line by
// line; in a file edited by hand each line that names one of the 17 keys sets that key, and a
// file naming none of them is read line by line. The profile is read but not used: the run
// keeps `profile`, the program-wide one. A value that cannot be read keeps its no-file default.
SetupSettings parseSetupText(const QString &text, DisplayProfile profile);

// Whether `caption`, written as a channel value, reads back as a whole number rather than as
// the channel's default.
bool channelValueReadable(const QString &caption);

// The whole file: 17 lines "key = value" with 14-character prefixes, each ending in CR LF.
QByteArray formatSetup(const SetupSettings &settings);

// The profile that start-up takes from the file at `path`: the whole number of Sys.Color, read
// as parseSetupText reads, when the file holds "Sys.Color" anywhere; ProfileNotChosen when
// there is no file or the number is not a profile. A file without "Sys.Color" is moved aside
// to SETUP.INI.bak beside it, replacing an older one.
DisplayProfile readStartupProfile(const QString &path);

// The file's bytes as 8-bit text; nothing when it does not exist or cannot be read.
std::optional<QString> loadSetupFile(const QString &path);

// Replaces the file only once the new one is complete. On failure returns false and sets
// `error` to a text naming the path and the system's reason.
bool saveSetupFile(const QString &path, const SetupSettings &settings, QString *error);

QString setupFilePath(const QString &folder);
