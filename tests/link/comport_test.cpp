#include "comport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(ComPort, NumbersAtOrBelowZeroResolveToNothing)
{
    for (int n : {0, -1, -32768})
        EXPECT_TRUE(comPortDevice(n, "/tmp").isEmpty()) << n;
}

#ifndef Q_OS_WIN
TEST(ComPort, WithoutALinkPortNIsTtySNMinusOne)
{
    QTemporaryDir dir;
    EXPECT_EQ(comPortDevice(1, dir.path()), "/dev/ttyS0");
    EXPECT_EQ(comPortDevice(4, dir.path()), "/dev/ttyS3");
}

TEST(ComPort, ALinkInThePortsFolderWins)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("ports"));
    ASSERT_TRUE(QFile::link("/dev/ttyUSB0", comPortLink(3, dir.path())));
    EXPECT_EQ(comPortDevice(3, dir.path()), "/dev/ttyUSB0");
    EXPECT_EQ(comPortDevice(2, dir.path()), "/dev/ttyS1");
}

TEST(DataFolder, ProgramFolderWhenWritableAndNotInstalledElseUserConfig)
{
    QTemporaryDir dir;
    QTemporaryDir installed;
    EXPECT_EQ(dataFolderFor(dir.path(), installed.path()), dir.path());
    for (const QString &notUsable : {QStringLiteral("/proc"), installed.path()}) {
        const QString elsewhere = dataFolderFor(notUsable, installed.path());
        EXPECT_NE(elsewhere, notUsable);
        EXPECT_FALSE(elsewhere.isEmpty());
    }
}
#endif

} // namespace
