// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/datafolder.h"

#include <QCoreApplication>
#include <QDir>
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
