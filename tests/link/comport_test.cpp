// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/datafolder.h"
#include "link/comport.h"
#include "link/qtserialline.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

TEST(LineSettings, TheTextGivesBaudParityDataAndStopBits)
{
    using P = QSerialPort;
    const std::pair<const char *, LineSettings> cases[] = {
            {"9600, E, 7, 1", {9600, P::EvenParity, P::Data7, P::OneStop}},
            {"9600,e,7,1", {9600, P::EvenParity, P::Data7, P::OneStop}},
            {" 19200 , O , 8 , 2 ", {19200, P::OddParity, P::Data8, P::TwoStop}},
            {"1200, N, 5, 1", {1200, P::NoParity, P::Data5, P::OneStop}}};
    for (const auto &[text, settings] : cases)
        EXPECT_EQ(parseLineSettings(text), settings) << text;
    for (const char *text :
         {"", "9600, E, 7", "9600, E, 7, 1, 1", "0, E, 7, 1", "fast, E, 7, 1", "9600, M, 7, 1",
          "9600, E, 4, 1", "9600, E, 9, 1", "9600, E, 77, 1", "9600, E, 7, 3", "9600, E, 7, 1.5"})
        EXPECT_FALSE(parseLineSettings(text)) << text;
}

#ifndef Q_OS_WIN
TEST(ComPort, ALinkInThePortsFolderWinsOverTtySNMinusOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("ports"));
    ASSERT_TRUE(QFile::link("/dev/ttyUSB0", comPortLink(3, dir.path())));
    const std::pair<int, const char *> cases[] = {
            {3, "/dev/ttyUSB0"}, {1, "/dev/ttyS0"}, {4, "/dev/ttyS3"}, {0, ""}, {-1, ""},
            {-32768, ""}};
    for (const auto &[number, device] : cases)
        EXPECT_EQ(comPortDevice(number, dir.path()), device) << number;
}

TEST(ComPort, AMissingDeviceIsNamedWithTheWayToLinkOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("ports"));
    const QString gone = dir.filePath("gone");
    ASSERT_TRUE(QFile::link(gone, comPortLink(4, dir.path())));
    QtSerialLine line(dir.path());
    ASSERT_TRUE(line.setCommPort(4));
    EXPECT_FALSE(line.open());
    EXPECT_TRUE(line.errorDetail().startsWith("Device: " + gone + "\nReason: "))
            << qPrintable(line.errorDetail());
    EXPECT_TRUE(line.errorDetail().contains("COM4 is linked to " + gone));
}

// What stands at ports/com3, or where its link leads, when it is no serial line: all but the
// loop are refused without being opened. "%1" stands for the link's path.
TEST(ComPort, WhatIsNoSerialLineIsNamedWithTheWayOut)
{
    const std::pair<const char *, const char *> cases[] = {
            {"file",
             "Device: %1\nReason: Not opened: not a device\n\n%1 is a file where the link for "
             "COM3 should be, so COM3 leads to no device. Move it elsewhere or remove it, then "
             "link COM3 to the serial device, for example:\n    rm %1\n    ln -s /dev/ttyUSB0 %1"},
            {"folder",
             "Device: %1\nReason: Not opened: a folder, not a device\n\n%1 is a folder where the "
             "link for COM3 should be, so COM3 leads to no device. Move it elsewhere or remove "
             "it, then link COM3 to the serial device, for example:\n    rmdir %1\n    ln -s "
             "/dev/ttyUSB0 %1"},
            {"%1",
             "\n\nThe link %1 for COM3 points at itself without reaching a device. Link COM3 to "
             "the serial device itself, for example:\n    ln -sfn /dev/ttyUSB0 %1"},
            {"/dev/null",
             "Device: /dev/null\nReason: Not opened: not a serial line\n\n/dev/null is a device, "
             "but not a serial line: it has no baud rate or parity, and nothing sent there "
             "reaches a validator. Link COM3 to the serial device instead, for example:\n    ln "
             "-sfn /dev/ttyUSB0 %1"},
            {"/dev/zero", "Device: /dev/zero\nReason: Not opened: not a serial line\n\n/dev/zero "
                          "is a device, but not a serial line"},
            {"/dev/ptmx",
             "Device: /dev/ptmx\nReason: Not opened: the pseudo-terminal multiplexer\n\n/dev/ptmx "
             "is the pseudo-terminal multiplexer: each opening makes a new pseudo-terminal with "
             "nothing on its other side, so no validator could answer. For the simulator, remove "
             "the link and let the simulator make its own:\n    rm %1\n    "
             "brisvel-validator-sim --com 3\nFor a validator, link COM3 to its serial "
             "device:\n    ln -sfn /dev/ttyUSB0 %1"},
            {"/dev/tty",
             "Device: /dev/tty\nReason: Not opened: this program's own terminal\n\n/dev/tty is "
             "this program's own terminal, the one it was started from: frames sent there would "
             "land on your screen, not at a validator. Link COM3 to the serial device instead"}};
    for (const auto &[target, expected] : cases) {
        QTemporaryDir dir;
        ASSERT_TRUE(QDir(dir.path()).mkdir("ports"));
        const QString link = comPortLink(3, dir.path());
        if (target == std::string("file"))
            ASSERT_TRUE(QFile(link).open(QIODevice::WriteOnly));
        else if (target == std::string("folder"))
            ASSERT_TRUE(QDir().mkdir(link));
        else
            ASSERT_TRUE(QFile::link(QString(target).replace("%1", link), link));
        QtSerialLine line(dir.path());
        EXPECT_FALSE(line.setCommPort(3) && line.open()) << target;
        EXPECT_TRUE(line.errorDetail().contains(QString(expected).replace("%1", link)))
                << target << ":\n"
                << qPrintable(line.errorDetail());
    }
}

// The settings reach the device, read back on a pseudo-terminal. Its driver always keeps 8 data
// bits without a parity bit, but keeps the choice of odd parity and of two stop bits.
TEST(ComPort, TheLineOpensWithTheSettingsOfItsText)
{
    QTemporaryDir dir;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("ports"));
    ASSERT_TRUE(QFile::link(ptsname(master), comPortLink(2, dir.path())));
    const std::tuple<const char *, tcflag_t, speed_t> cases[] = {
            {"9600, E, 7, 1", 0, B9600}, {"19200, O, 8, 2", PARODD | CSTOPB, B19200}};
    for (const auto &[text, flags, speed] : cases) {
        QtSerialLine line(dir.path());
        ASSERT_TRUE(line.setCommPort(2) && line.setSettings(text) && line.open()) << text;
        termios settings{};
        ASSERT_EQ(tcgetattr(master, &settings), 0);
        EXPECT_EQ(settings.c_cflag & (PARODD | CSTOPB), flags) << text;
        EXPECT_EQ(cfgetospeed(&settings), speed) << text;
    }
    ::close(master);
}

TEST(DataFolder, OnlyABuildTreeKeepsItsDataBesideTheProgram)
{
    QTemporaryDir tree, config;
    const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const QString userFolder = config.path() + "/brisvel";
    const QDir root(tree.path());
    ASSERT_TRUE(root.mkpath("build/tests") && root.mkpath("usr/bin")
                && root.mkpath("usr/share/applications") && root.mkpath("copy"));
    QFile(root.filePath("build/CMakeCache.txt")).open(QIODevice::WriteOnly);
    QFile(root.filePath("usr/share/applications/io.github.brisvel.Brisvel.desktop"))
            .open(QIODevice::WriteOnly);
    const std::pair<QString, QString> cases[] = {{"build", root.filePath("build")},
                                                 {"build/tests", root.filePath("build/tests")},
                                                 {"usr/bin", userFolder},
                                                 {"copy", userFolder}};
    for (const auto &[program, expected] : cases)
        EXPECT_EQ(dataFolderFor(root.filePath(program)), expected) << qPrintable(program);
    EXPECT_TRUE(QDir(userFolder).exists());
    if (configHome.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", configHome);
}
#endif

} // namespace
