#pragma once

#include <QList>
#include <QSerialPort>
#include <QString>

// What the system tells about a serial device that could not be opened. Known only where the
// program can ask (POSIX systems); elsewhere `known` stays false.
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
    QString device; // the path tried
    QString link; // the data folder's ports/comN link for the number; empty where there is none
    bool linked = false; // that link exists
    QSerialPort::SerialPortError error = QSerialPort::NoError;
    QString reason; // the system's own words
    DeviceStatus status;
    UserStatus user;
    QString holder; // the program holding the device, "name (process N)", when known
};

// The detailed text of the "System Error" box: the device tried, the system's reason, and what
// the operator can do about it. Depends on its argument alone.
QString portDiagnosis(const PortFailure &failure);

// A character device's mode as "ls -l" shows it: "crw-rw----" for permissions 0660.
QString deviceModeText(uint permissions);
