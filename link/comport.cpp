#include "comport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

bool folderWritable(const QString &folder)
{
    // The permission bits do not tell the whole story (read-only mounts, ACLs): try it.
    QTemporaryFile probe(folder + QStringLiteral("/.brisvel-XXXXXX"));
    return probe.open();
}

} // namespace

QString dataFolderFor(const QString &programFolder, const QString &installFolder)
{
    // An installed program is shared by every user of the machine: each keeps their own.
    const bool installed = QDir(programFolder) == QDir(installFolder);
    if (!programFolder.isEmpty() && !installed && folderWritable(programFolder))
        return programFolder;
    // Named here rather than taken from the application's name, so that the tester and the
    // simulator, two programs, share the folder and its ports/ links.
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                           + QStringLiteral("/brisvel");
    QDir().mkpath(config);
    return config;
}

QString dataFolder()
{
    return dataFolderFor(QCoreApplication::applicationDirPath(),
                         QStringLiteral(BRISVEL_INSTALL_BINDIR));
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
    return QStringLiteral("/dev/ttyS") + QString::number(number - 1);
#endif
}
