// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/commandline.h"

#include <QCommandLineParser>
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

std::optional<int> parse(QCommandLineParser &parser)
{
    if (!parser.parse(QCoreApplication::arguments()))
        return refuse(parser.errorText());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    return std::nullopt;
}

} // namespace CommandLine
