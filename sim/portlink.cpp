// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/portlink.h"

#include "link/comport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

PortLink::~PortLink()
{
    remove();
}

bool PortLink::create(int comNumber, const QString &dataFolder, const QString &target,
                      QString *errorText)
{
    const QString path = comPortLink(comNumber, dataFolder);
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        *errorText = QStringLiteral("cannot create %1").arg(QFileInfo(path).absolutePath());
        return false;
    }
    const QFileInfo existing(path);
    if (existing.isSymLink()) {
        const QString earlier = existing.symLinkTarget();
        // A pseudo-terminal that is gone may come back as this simulator's own.
        const bool stale = isPseudoTerminalPath(earlier)
                           && (earlier == target || !QFileInfo::exists(earlier));
        if (!stale) {
            *errorText = QStringLiteral("%1 leads to %2, which is not the pseudo-terminal of a "
                                        "simulator that has ended: COM %3 is left alone. Remove "
                                        "the link or choose another number.")
                                 .arg(path, earlier)
                                 .arg(comNumber);
            return false;
        }
        QFile::remove(path);
    } else if (existing.exists()) {
        *errorText = QStringLiteral("%1 exists and is not a link").arg(path);
        return false;
    }
    if (!QFile::link(target, path)) {
        *errorText = QStringLiteral("cannot create the link %1").arg(path);
        return false;
    }
    linkPath = path;
    linkTarget = target;
    return true;
}

void PortLink::remove()
{
    if (linkPath.isEmpty())
        return;
    if (QFileInfo(linkPath).symLinkTarget() == linkTarget)
        QFile::remove(linkPath);
    linkPath.clear();
}
