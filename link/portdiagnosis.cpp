// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/portdiagnosis.h"

#include <QFileInfo>

namespace {

constexpr uint readWrite = 06;

// What the rules of the permission bits allow this user with these groups.
bool mayOpen(const DeviceStatus &status, const UserStatus &user, const QList<uint> &groups)
{
    if (user.id == 0)
        return true;
    uint bits = status.permissions & 07;
    if (status.ownerId == user.id)
        bits = (status.permissions >> 6) & 07;
    else if (groups.contains(status.groupId))
        bits = (status.permissions >> 3) & 07;
    return (bits & readWrite) == readWrite;
}

bool groupMayOpen(const DeviceStatus &status)
{
    return ((status.permissions >> 3) & readWrite) == readWrite;
}

// A path as a shell command takes it.
QString shellWord(const QString &path)
{
    static const QString plain = QStringLiteral(
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+:@%,=");
    for (const QChar c : path) {
        if (!plain.contains(c))
            return QLatin1Char('\'') + QString(path).replace("'", "'\\''") + QLatin1Char('\'');
    }
    return path;
}

QString command(const QString &text)
{
    return QStringLiteral("\n    ") + text;
}

QString comName(const PortFailure &failure)
{
    return QStringLiteral("COM%1").arg(failure.comNumber);
}

QString missingDevice(const PortFailure &failure)
{
    const QString link = shellWord(failure.link);
    if (failure.linked && failure.status.pseudoTerminal) {
        return QStringLiteral("%1 is linked to %2 by %3, a pseudo-terminal that is gone: the "
                              "program that made it, such as brisvel-validator-sim, has ended. "
                              "Start it again.")
                .arg(comName(failure), failure.device, failure.link);
    }
    if (failure.linked) {
        return QStringLiteral("%1 is linked to %2 by %3, and that device does not exist: is the "
                              "adapter plugged in? Its name can change when it is plugged in "
                              "again. The serial devices present are listed by")
                       .arg(comName(failure), failure.device, failure.link)
               + command(QStringLiteral("ls -l /dev/serial/by-id /dev/ttyUSB* /dev/ttyACM*"))
               + QStringLiteral("\nLink %1 to the right one, for example:").arg(comName(failure))
               + command(QStringLiteral("ln -sfn /dev/ttyUSB0 %1").arg(link));
    }
    QString text = QStringLiteral("The device %1 does not exist.").arg(failure.device);
    if (failure.link.isEmpty())
        return text;
    text += QStringLiteral(" With no link in the data folder, %1 stands for %2. To use another "
                           "device as %1, such as a USB adapter, link it:")
                    .arg(comName(failure), failure.device);
    const QString folder = QFileInfo(failure.link).path();
    return text + command(QStringLiteral("mkdir -p %1").arg(shellWord(folder)))
           + command(QStringLiteral("ln -s /dev/ttyUSB0 %1").arg(link));
}

// The advice to point the link at a serial device, when there is a link.
QString relinkAdvice(const PortFailure &failure)
{
    if (failure.link.isEmpty())
        return {};
    return QStringLiteral(" Link %1 to the serial device instead, for example:").arg(comName(failure))
           + command(QStringLiteral("ln -sfn /dev/ttyUSB0 %1").arg(shellWord(failure.link)));
}

// A file or folder stands where the link should be: neither "ln -s" nor "ln -sfn" replaces
// it, so it has to go first.
QString inPlaceOfLink(const PortFailure &failure)
{
    const bool folder = failure.status.folder;
    const QString link = shellWord(failure.link);
    return QStringLiteral("%1 is a %2 where the link for %3 should be, so %3 leads to no device. "
                          "Move it elsewhere or remove it, then link %3 to the serial device, "
                          "for example:")
                   .arg(failure.link, folder ? QStringLiteral("folder") : QStringLiteral("file"),
                        comName(failure))
           + command((folder ? QStringLiteral("rmdir ") : QStringLiteral("rm ")) + link)
           + command(QStringLiteral("ln -s /dev/ttyUSB0 %1").arg(link));
}

QString notADevice(const PortFailure &failure)
{
    if (!failure.linked && !failure.link.isEmpty() && failure.device == failure.link)
        return inPlaceOfLink(failure);
    return QStringLiteral("%1 is not a serial device.").arg(failure.device) + relinkAdvice(failure);
}

QString linkLoop(const PortFailure &failure)
{
    if (!failure.linked) {
        return QStringLiteral("The links of %1 lead round in a loop without reaching a device.")
                .arg(failure.device);
    }
    const QString through = failure.device == failure.link
                                    ? QStringLiteral("points at itself")
                                    : QStringLiteral("leads to %1, and the links from there lead "
                                                     "round in a loop")
                                              .arg(failure.device);
    return QStringLiteral("The link %1 for %2 %3 without reaching a device. Link %2 to the "
                          "serial device itself, for example:")
                   .arg(failure.link, comName(failure), through)
           + command(QStringLiteral("ln -sfn /dev/ttyUSB0 %1").arg(shellWord(failure.link)));
}

QString notALine(const PortFailure &failure)
{
    switch (failure.status.kind) {
    case DeviceKind::PseudoTerminalMultiplexer:
        return QStringLiteral("%1 is the pseudo-terminal multiplexer: each opening makes a new "
                              "pseudo-terminal with nothing on its other side, so no validator "
                              "could answer. For the simulator, remove the link and let the "
                              "simulator make its own:")
                       .arg(failure.device)
               + command(QStringLiteral("rm %1").arg(shellWord(failure.link)))
               + command(QStringLiteral("brisvel-validator-sim --com %1").arg(failure.comNumber))
               + QStringLiteral("\nFor a validator, link %1 to its serial device:")
                         .arg(comName(failure))
               + command(QStringLiteral("ln -sfn /dev/ttyUSB0 %1").arg(shellWord(failure.link)));
    case DeviceKind::OwnTerminal:
        return QStringLiteral("%1 is this program's own terminal, the one it was started from: "
                              "frames sent there would land on your screen, not at a "
                              "validator.")
                       .arg(failure.device)
               + relinkAdvice(failure);
    default:
        return QStringLiteral("%1 is a device, but not a serial line: it has no baud rate or "
                              "parity, and nothing sent there reaches a validator.")
                       .arg(failure.device)
               + relinkAdvice(failure);
    }
}

QString noAccess(const PortFailure &failure)
{
    const DeviceStatus &status = failure.status;
    const QString mode = deviceModeText(status.permissions);
    const QString user = failure.user.name.isEmpty() ? QStringLiteral("your user")
                                                     : failure.user.name;
    if (groupMayOpen(status) && mayOpen(status, failure.user, failure.user.accountGroups)) {
        return QStringLiteral("The device belongs to the group \"%1\" (%2). You (%3) joined that "
                              "group after this session began, so the program does not have "
                              "its rights yet: log out and in again.")
                .arg(status.groupName, mode, user);
    }
    if (groupMayOpen(status)) {
        return QStringLiteral("The device belongs to the group \"%1\" (%2), and you (%3) are not "
                              "a member of it. Join the group, then log out and in again:")
                       .arg(status.groupName, mode, user)
               + command(QStringLiteral("sudo adduser $USER %1").arg(status.groupName));
    }
    return QStringLiteral("Only its owner %1 may open the device (%2, group \"%3\"). Ask the "
                          "administrator to give it to a group that you can join, such as "
                          "dialout.")
            .arg(status.ownerName, mode, status.groupName);
}

QString heldElsewhere(const PortFailure &failure)
{
    if (!failure.holders.isEmpty()) {
        return QStringLiteral("You may open the device, so another program holds it: %1. Close "
                              "that program, then start the run again.")
                .arg(failure.holders.join(QStringLiteral(", ")));
    }
    return QStringLiteral("You may open the device, so another program probably holds it: a "
                          "terminal program, a modem manager or a second tester. Close it, then "
                          "start the run again.");
}

// Where the system cannot be asked: the error alone.
QString fromErrorAlone(const PortFailure &failure)
{
    switch (failure.error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("%1 does not exist on this computer. The Device Manager lists the "
                              "serial ports under \"Ports (COM & LPT)\", with the number of each "
                              "adapter.")
                .arg(comName(failure));
    case QSerialPort::PermissionError:
        return QStringLiteral("Another program holds %1, or access to it is denied. Close the "
                              "program that uses the port, then start the run again.")
                .arg(comName(failure));
    default:
        return QStringLiteral("Check that %1 is a serial port, and check its adapter and cable.")
                .arg(comName(failure));
    }
}

QString advice(const PortFailure &failure)
{
    const DeviceStatus &status = failure.status;
    if (!status.known)
        return fromErrorAlone(failure);
    if (status.linkLoop)
        return linkLoop(failure);
    if (!status.exists)
        return missingDevice(failure);
    if (!status.characterDevice)
        return notADevice(failure);
    if (status.kind != DeviceKind::Line)
        return notALine(failure);
    if (!mayOpen(status, failure.user, failure.user.sessionGroups))
        return noAccess(failure);
    if (failure.error == QSerialPort::PermissionError)
        return heldElsewhere(failure);
    if (status.pseudoTerminal) {
        return QStringLiteral("The device is a pseudo-terminal and you may open it, but it did "
                              "not open as a serial port at 9600 baud, 7E1. Start the program "
                              "on its other side, such as brisvel-validator-sim, again.");
    }
    return QStringLiteral("The device exists and you may open it, but it did not open as a "
                          "serial port at 9600 baud, 7E1. Check the adapter and its cable.");
}

} // namespace

QString openRefusal(const DeviceStatus &status)
{
    if (!status.exists)
        return {};
    if (!status.characterDevice)
        return status.folder ? QStringLiteral("Not opened: a folder, not a device")
                             : QStringLiteral("Not opened: not a device");
    switch (status.kind) {
    case DeviceKind::Line:
        return {};
    case DeviceKind::NotALine:
        return QStringLiteral("Not opened: not a serial line");
    case DeviceKind::PseudoTerminalMultiplexer:
        return QStringLiteral("Not opened: the pseudo-terminal multiplexer");
    case DeviceKind::OwnTerminal:
        return QStringLiteral("Not opened: this program's own terminal");
    }
    return {};
}

QString sharedDeviceNote(const QString &device, const QStringList &holders, int silentFrames)
{
    return QStringLiteral("%1 frames in a row got no reply, and other programs have %2 open: %3. "
                          "A program that reads the port takes the validator's replies: close "
                          "it.")
            .arg(silentFrames)
            .arg(device, holders.join(QStringLiteral(", ")));
}

QString deviceModeText(uint permissions)
{
    QString text(QStringLiteral("c"));
    for (int shift = 6; shift >= 0; shift -= 3) {
        const uint bits = (permissions >> shift) & 07;
        text += QLatin1Char(bits & 04 ? 'r' : '-');
        text += QLatin1Char(bits & 02 ? 'w' : '-');
        text += QLatin1Char(bits & 01 ? 'x' : '-');
    }
    return text;
}

QString portDiagnosis(const PortFailure &failure)
{
    return QStringLiteral("Device: %1\nReason: %2\n\n%3")
            .arg(failure.device, failure.reason, advice(failure));
}
