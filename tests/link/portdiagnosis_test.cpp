#include "portdiagnosis.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

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
        .holder = {}};

struct DiagnosisCase
{
    const char *name;
    std::function<void(PortFailure &)> change;
    QStringList present;
    QStringList absent;
};

void PrintTo(const DiagnosisCase &c, std::ostream *os)
{
    *os << c.name;
}

class PortDiagnosisTest : public testing::TestWithParam<DiagnosisCase>
{ };

TEST_P(PortDiagnosisTest, SaysWhatIsWrongAndWhatToDo)
{
    PortFailure failure = adapterOfDialout;
    GetParam().change(failure);
    const QString text = portDiagnosis(failure);
    EXPECT_TRUE(text.startsWith(
            QStringLiteral("Device: %1\nReason: %2\n\n").arg(failure.device, failure.reason)))
            << qPrintable(text);
    for (const QString &part : GetParam().present)
        EXPECT_TRUE(text.contains(part)) << qPrintable(part) << "\nmissing from\n"
                                         << qPrintable(text);
    for (const QString &part : GetParam().absent)
        EXPECT_FALSE(text.contains(part)) << qPrintable(part) << "\nfound in\n" << qPrintable(text);
}

const QString joinCommand = QStringLiteral("sudo adduser $USER dialout");
const QString otherProgram = QStringLiteral("another program");

INSTANTIATE_TEST_SUITE_P(
        Cases, PortDiagnosisTest,
        testing::Values(
                DiagnosisCase{"NotInTheDevicesGroup",
                              [](PortFailure &) {},
                              {"group \"dialout\" (crw-rw----)", "you (alice) are not a member",
                               joinCommand, "log out and in again"},
                              {otherProgram}},
                DiagnosisCase{
                        "JoinedTheGroupAfterTheSessionBegan",
                        [](PortFailure &f) { f.user.accountGroups << dialout; },
                        {"joined that group after this session began", "log out and in again"},
                        {joinCommand, otherProgram}},
                DiagnosisCase{"InTheGroupAndAnotherProgramHoldsIt",
                              [](PortFailure &f) {
                                  f.user.sessionGroups << dialout;
                                  f.reason = QStringLiteral("Device or resource busy");
                                  f.holder = QStringLiteral("minicom (process 4242)");
                              },
                              {"another program holds it: minicom (process 4242)"},
                              {joinCommand}},
                DiagnosisCase{"InTheGroupAndTheHolderIsUnknown",
                              [](PortFailure &f) {
                                  f.user.sessionGroups << dialout;
                                  f.reason = QStringLiteral("Permission error while locking the "
                                                            "device");
                              },
                              {"another program probably holds it"},
                              {joinCommand}},
                DiagnosisCase{"RootMayOpenAnything",
                              [](PortFailure &f) {
                                  f.user.id = 0;
                                  f.status.permissions = 0600;
                              },
                              {"another program probably holds it"},
                              {joinCommand}},
                DiagnosisCase{"TheUserOwnsTheDevice",
                              [](PortFailure &f) {
                                  f.status.ownerId = alice;
                                  f.status.permissions = 0600;
                              },
                              {"another program probably holds it"},
                              {joinCommand}},
                DiagnosisCase{
                        "OnlyTheOwnerMayOpenIt",
                        [](PortFailure &f) { f.status.permissions = 0600; },
                        {"Only its owner root may open the device (crw-------", "administrator"},
                        {joinCommand, otherProgram}},
                DiagnosisCase{"LinkedDeviceIsMissing",
                              [](PortFailure &f) {
                                  f.status = DeviceStatus{};
                                  f.status.known = true;
                                  f.error = QSerialPort::DeviceNotFoundError;
                                  f.reason = QStringLiteral("No such file or directory");
                              },
                              {"COM3 is linked to /dev/ttyUSB0 by /data/ports/com3",
                               "does not exist", "ln -sfn /dev/ttyUSB0 /data/ports/com3"},
                              {joinCommand, otherProgram}},
                DiagnosisCase{"LinkedPseudoTerminalIsGone",
                              [](PortFailure &f) {
                                  f.device = QStringLiteral("/dev/pts/4");
                                  f.status = DeviceStatus{};
                                  f.status.known = true;
                                  f.status.pseudoTerminal = true;
                                  f.error = QSerialPort::DeviceNotFoundError;
                              },
                              {"COM3 is linked to /dev/pts/4 by /data/ports/com3",
                               "brisvel-validator-sim, has ended"},
                              {"adapter", "ln -s"}},
                DiagnosisCase{"PseudoTerminalThatDoesNotOpen",
                              [](PortFailure &f) {
                                  f.device = QStringLiteral("/dev/pts/4");
                                  f.status.pseudoTerminal = true;
                                  f.user.sessionGroups << dialout;
                                  f.error = QSerialPort::UnsupportedOperationError;
                                  f.reason = QStringLiteral("Invalid argument");
                              },
                              {"is a pseudo-terminal", "brisvel-validator-sim"},
                              {"adapter", "cable", otherProgram}},
                DiagnosisCase{"UnlinkedNumberStandsForTtyS",
                              [](PortFailure &f) {
                                  f.device = QStringLiteral("/dev/ttyS2");
                                  f.linked = false;
                                  f.status = DeviceStatus{};
                                  f.status.known = true;
                                  f.error = QSerialPort::DeviceNotFoundError;
                              },
                              {"The device /dev/ttyS2 does not exist", "COM3 stands for /dev/ttyS2",
                               "mkdir -p /data/ports", "ln -s /dev/ttyUSB0 /data/ports/com3"},
                              {"ln -sfn", joinCommand}},
                DiagnosisCase{"PathsWithBlanksAreQuoted",
                              [](PortFailure &f) {
                                  f.link = QStringLiteral("/home/al ice/ports/com3");
                                  f.linked = false;
                                  f.status.exists = false;
                              },
                              {"ln -s /dev/ttyUSB0 '/home/al ice/ports/com3'",
                               "mkdir -p '/home/al ice/ports'"},
                              {}},
                DiagnosisCase{"LinkToSomethingNotADevice",
                              [](PortFailure &f) {
                                  f.status.characterDevice = false;
                                  f.error = QSerialPort::UnsupportedOperationError;
                              },
                              {"/dev/ttyUSB0 is not a serial device",
                               "ln -sfn /dev/ttyUSB0 /data/ports/com3"},
                              {joinCommand}},
                DiagnosisCase{"WithoutSystemFactsAMissingPort",
                              [](PortFailure &f) {
                                  f.device = QStringLiteral("COM3");
                                  f.link.clear();
                                  f.status = DeviceStatus{};
                                  f.error = QSerialPort::DeviceNotFoundError;
                              },
                              {"COM3 does not exist on this computer", "Device Manager"},
                              {joinCommand, "ln -s"}},
                DiagnosisCase{"WithoutSystemFactsAPortInUse",
                              [](PortFailure &f) {
                                  f.device = QStringLiteral("COM3");
                                  f.status = DeviceStatus{};
                              },
                              {"Another program holds COM3"},
                              {joinCommand}}),
        [](const testing::TestParamInfo<DiagnosisCase> &info) { return info.param.name; });

TEST(DeviceModeText, ReadsAsLsShowsIt)
{
    EXPECT_EQ(deviceModeText(0660), "crw-rw----");
    EXPECT_EQ(deviceModeText(0600), "crw-------");
    EXPECT_EQ(deviceModeText(0777), "crwxrwxrwx");
}

} // namespace
