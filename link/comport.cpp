// SPDX-License-Identifier: GPL-3.0-or-later
#include "comport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

QString dataFolderFor(const QString &programFolder)
{
    // Only a program run from its build tree (CMakeCache.txt in its folder, or in the parent of
    // the tests' folder) keeps its data beside itself. Anywhere else it may be installed, shared
    // by every user of the machine, where nothing of one user's belongs even when it could be
    // written (as root).
    const QDir folder(programFolder);
    const bool buildTree = !programFolder.isEmpty()
                           && (folder.exists(QStringLiteral("CMakeCache.txt"))
                               || folder.exists(QStringLiteral("../CMakeCache.txt")));
    if (buildTree)
        return programFolder;
    // Named here rather than taken from the application's name, so that the tester, the runner
    // and the simulator, three programs, share the folder and its ports/ links.
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                           + QStringLiteral("/brisvel");
    QDir().mkpath(config);
    return config;
}

QString dataFolder()
{
    return dataFolderFor(QCoreApplication::applicationDirPath());
}

QString comPortLink(int number, const QString &dataFolder)
{
    return dataFolder + QStringLiteral("/ports/com") + QString::number(number);
}

QString comPortDevice(int number, const QString &dataFolder)
{
    if (number <= 0)
        return {};
#ifdef Q_OS_WIN
    Q_UNUSED(dataFolder);
    return QStringLiteral("COM") + QString::number(number);
#else
    const QFileInfo link(comPortLink(number, dataFolder));
    if (link.isSymLink())
        return link.symLinkTarget();
    // A file or folder in the link's place stands for the port, so that its opening fails and
    // says why, rather than the number quietly standing for a ttyS device.
    if (link.exists())
        return link.filePath();
    return QStringLiteral("/dev/ttyS") + QString::number(number - 1);
#endif
}

bool isPseudoTerminalPath(const QString &path)
{
    // Linux and the BSDs; macOS names them /dev/ttys000 and up.
    static const QRegularExpression slave(QStringLiteral("^/dev/(pts/\\d+|ttys\\d+)$"));
    return slave.match(path).hasMatch();
}
