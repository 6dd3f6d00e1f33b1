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

TEST(DataFolder, OnlyABuildTreeKeepsItsDataBesideTheProgram)
{
    QTemporaryDir tree;
    QTemporaryDir config;
    const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const QString userFolder = config.path() + "/brisvel";
    const QDir root(tree.path());
    ASSERT_TRUE(root.mkpath("build/tests") && root.mkpath("usr/bin")
                && root.mkpath("usr/share/applications") && root.mkpath("copy"));
    QFile(root.filePath("build/CMakeCache.txt")).open(QIODevice::WriteOnly);
    QFile(root.filePath("usr/share/applications/brisvel.desktop")).open(QIODevice::WriteOnly);
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
