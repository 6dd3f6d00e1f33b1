// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ui/startup.h"

#include "settings/file/setupfile.h"
#include "settings/ui/colorsheme.h"

Startup::Startup(const QString &dataFolder, OpenTester openTester, QObject *parent)
    : QObject(parent)
    , settingsPath(setupFilePath(dataFolder))
    , openTester(std::move(openTester))
{ }

void Startup::start()
{
    const DisplayProfile saved = readStartupProfile(settingsPath);
    if (saved != ProfileNotChosen) {
        openTester(saved);
        return;
    }
    auto *chooser = new ColorSheme;
    connect(chooser, &ColorSheme::chosen, this, openTester);
    connect(chooser, &ColorSheme::dismissed, this, &Startup::abandoned);
    chooser->show();
}
