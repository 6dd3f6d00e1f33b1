#include "startup.h"

#include "colorsheme.h"
#include "displayprofile.h"
#include "setupfile.h"

Startup::Startup(const QString &dataFolder, OpenTester openTester, QObject *parent)
    : QObject(parent)
    , settingsPath(setupFilePath(dataFolder))
    , openTester(std::move(openTester))
{ }

void Startup::start()
{
    const DisplayProfile saved = readStartupProfile(settingsPath);
    setDisplayProfile(saved);
    if (saved != ProfileNotChosen) {
        open(saved);
        return;
    }
    auto *chooser = new ColorSheme;
    connect(chooser, &ColorSheme::chosen, this, &Startup::open);
    connect(chooser, &ColorSheme::dismissed, this, &Startup::abandoned);
    chooser->show();
}

void Startup::open(DisplayProfile profile)
{
    setDisplayProfile(profile);
    openTester(profile);
}
