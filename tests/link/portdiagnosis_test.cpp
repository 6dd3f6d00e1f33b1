// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/portdiagnosis.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr uint dialout = 20;
constexpr uint alice = 1000;

// COM3 linked to a USB adapter of group dialout, crw-rw----, tried by alice, who is in no
// group but her own.
const PortFailure adapterOfDialout{
        .comNumber = 3,
        .device = "/dev/ttyUSB0",
        .link = "/data/ports/com3",
        .linked = true,
        .error = QSerialPort::PermissionError,
        .reason = "Permission denied",
        .status = {true, true, true, false, 0, "root", dialout, "dialout", 0660},
        .user = {alice, "alice", {alice}, {alice}},
        .holders = {}};

const QString join = "!sudo adduser $USER dialout";
const QString other = "!another program";

// Each part must be in the text, or with a leading "!" must not.
const std::tuple<const char *, std::function<void(PortFailure &)>, QStringList> cases[] = {
        {"NotInTheDevicesGroup",
         [](PortFailure &) {},
         {"group \"dialout\" (crw-rw----)", "you (alice) are not a member",
          "sudo adduser $USER dialout", "log out and in again", other}},
        {"JoinedTheGroupAfterTheSessionBegan",
         [](PortFailure &f) { f.user.accountGroups << dialout; },
         {"joined that group after this session began", "log out and in again", join, other}},
        {"InTheGroupAndAnotherProgramHoldsIt",
         [](PortFailure &f) {
             f.user.sessionGroups << dialout;
             f.reason = "Device or resource busy";
             f.holders = {"minicom (process 4242)", "cat (process 4343)"};
         },
         {"another program holds it: minicom (process 4242), cat (process 4343). Close", join}},
        {"InTheGroupAndTheHolderIsUnknown",
         [](PortFailure &f) { f.user.sessionGroups << dialout; },
         {"another program probably holds it", join}},
        {"RootMayOpenAnything",
         [](PortFailure &f) { f.user.id = 0, f.status.permissions = 0600; },
         {"another program probably holds it", join}},
        {"TheUserOwnsTheDevice",
         [](PortFailure &f) { f.status.ownerId = alice, f.status.permissions = 0600; },
         {"another program probably holds it", join}},
        {"OnlyTheOwnerMayOpenIt",
         [](PortFailure &f) { f.status.permissions = 0600; },
         {"Only its owner root may open the device (crw-------", "administrator", join, other}},
        {"LinkedDeviceIsMissing",
         [](PortFailure &f) {
             f.status = {}, f.status.known = true, f.error = QSerialPort::DeviceNotFoundError;
         },
         {"COM3 is linked to /dev/ttyUSB0 by /data/ports/com3", "does not exist",
          "ln -sfn /dev/ttyUSB0 /data/ports/com3", join, other}},
        {"LinkedPseudoTerminalIsGone",
         [](PortFailure &f) {
             f.device = "/dev/pts/4", f.status = {},
             f.status.known = f.status.pseudoTerminal = true;
             f.error = QSerialPort::DeviceNotFoundError;
         },
         {"COM3 is linked to /dev/pts/4 by /data/ports/com3", "brisvel-validator-sim, has ended",
          "!adapter", "!ln -s"}},
        {"PseudoTerminalThatDoesNotOpen",
         [](PortFailure &f) {
             f.device = "/dev/pts/4", f.status.pseudoTerminal = true;
             f.user.sessionGroups << dialout;
             f.error = QSerialPort::UnsupportedOperationError;
         },
         {"is a pseudo-terminal", "brisvel-validator-sim", "!adapter", "!cable", other}},
        {"UnlinkedNumberStandsForTtyS",
         [](PortFailure &f) {
             f.device = "/dev/ttyS2", f.linked = false, f.status = {}, f.status.known = true;
             f.error = QSerialPort::DeviceNotFoundError;
         },
         {"The device /dev/ttyS2 does not exist", "COM3 stands for /dev/ttyS2",
          "mkdir -p /data/ports", "ln -s /dev/ttyUSB0 /data/ports/com3", "!ln -sfn", join}},
        {"PathsWithBlanksAreQuoted",
         [](PortFailure &f) {
             f.link = "/home/al ice/ports/com3", f.linked = false, f.status.exists = false;
         },
         {"ln -s /dev/ttyUSB0 '/home/al ice/ports/com3'", "mkdir -p '/home/al ice/ports'"}},
        {"LinkToSomethingNotADevice",
         [](PortFailure &f) {
             f.status.characterDevice = false, f.error = QSerialPort::UnsupportedOperationError;
         },
         {"/dev/ttyUSB0 is not a serial device", "ln -sfn /dev/ttyUSB0 /data/ports/com3", join}},
        {"WithoutSystemFactsAMissingPort",
         [](PortFailure &f) {
             f.device = "COM3", f.link.clear(), f.status = {};
             f.error = QSerialPort::DeviceNotFoundError;
         },
         {"COM3 does not exist on this computer", "Device Manager", join, "!ln -s"}},
        {"WithoutSystemFactsAPortInUse",
         [](PortFailure &f) { f.device = "COM3", f.status = {}; },
         {"Another program holds COM3", join}}};

TEST(PortDiagnosis, SaysWhatIsWrongAndWhatToDo)
{
    for (const auto &[name, change, parts] : cases) {
        PortFailure failure = adapterOfDialout;
        change(failure);
        const QString text = portDiagnosis(failure);
        SCOPED_TRACE(std::string(name) + ":\n" + text.toStdString());
        EXPECT_TRUE(text.startsWith("Device: " + failure.device + "\nReason: " + failure.reason
                                    + "\n\n"));
        for (const QString &part : parts)
            EXPECT_NE(text.contains(part.startsWith('!') ? part.mid(1) : part), part.startsWith('!'))
                    << qPrintable(part);
    }
    EXPECT_EQ(deviceModeText(0777), "crwxrwxrwx");
}

} // namespace
