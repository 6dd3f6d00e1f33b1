// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QSerialPort>
#include <QString>
#include <QStringList>

// What a character device is to the program, as far as the system tells without opening it.
enum class DeviceKind {
    Line, // a terminal line, or nothing tells otherwise
    NotALine, // a device of another kind, such as /dev/null or /dev/zero
    PseudoTerminalMultiplexer, // /dev/ptmx: each opening makes a new pseudo-terminal
    OwnTerminal, // the program's own terminal: /dev/tty, or the one it was started from
};

// What the system tells about a serial device before it is opened or after it could not be.
// Known only where the program can ask (POSIX systems); elsewhere `known` stays false.
struct DeviceStatus
{
    bool known = false;
    bool exists = false;
    bool characterDevice = false;
    bool pseudoTerminal = false; // the path names one, such as the simulator's, present or not
    uint ownerId = 0;
    QString ownerName;
    uint groupId = 0;
    QString groupName;
    uint permissions = 0; // the mode's permission bits, as in 0660
    bool folder = false; // a directory, not a file or a device
    bool linkLoop = false; // the path's links lead round in a loop: nothing is at their end
    DeviceKind kind = DeviceKind::Line;
};

// The user running the program and the groups that decide what it may open.
struct UserStatus
{
    uint id = 0;
    QString name;
    QList<uint> sessionGroups; // the groups of this process, the primary one included
    QList<uint> accountGroups; // the groups the account belongs to now, in the group database
};

// Everything known about a failed open of a COM port.
struct PortFailure
{
    int comNumber = 0;
    QString device; // the path tried; the link's own path when a file or folder is in its place
    QString link; // the data folder's ports/comN link for the number; empty where there is none
    bool linked = false; // that link exists, as a link
    QSerialPort::SerialPortError error = QSerialPort::NoError;
    QString reason; // the system's own words
    DeviceStatus status;
    UserStatus user;
    QStringList holders; // the programs holding the device, "name (process N)", when known
};

// Why the program does not even try to open a device known to be no serial line (a file, a
// folder, /dev/null, /dev/ptmx, its own terminal): the failure's reason. Empty when it may try.
QString openRefusal(const DeviceStatus &status);

// The detailed text of the "System Error" box: the device tried, the system's reason, and what
// the operator can do about it. Depends on its argument alone.
QString portDiagnosis(const PortFailure &failure);

// A note for a line whose replies stopped coming while other programs hold its device open:
// one of them may be reading the replies. `silentFrames` frames in a row got no reply.
QString sharedDeviceNote(const QString &device, const QStringList &holders, int silentFrames);

// A character device's mode as "ls -l" shows it: "crw-rw----" for permissions 0660.
QString deviceModeText(uint permissions);
