// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>

namespace CommandLine {

int refuse(const QString &error)
{
    const QString name = QCoreApplication::applicationName();
    std::fputs(qPrintable(QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n")
                                  .arg(name, error)),
               stderr);
    std::fflush(stderr);
    return wrongStatus;
}

} // namespace CommandLine
