// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/comport.h"

#include <QFileInfo>
#include <QRegularExpression>

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
