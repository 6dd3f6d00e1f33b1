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

QString dataFolderFor(const QString &programFolder)
{
    if (!programFolder.isEmpty() && folderWritable(programFolder))
        return programFolder;
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
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
    return QStringLiteral("/dev/ttyS") + QString::number(number - 1);
#endif
}
