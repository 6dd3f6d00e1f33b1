// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/file/setupfile.h"

#include <QObject>
#include <QString>

#include <functional>

// The program's start: takes the display profile from SETUP.INI in the data folder, or asks the
// operator for one with the chooser, and then opens the tester window of that profile through
// `openTester`: the run's profile, which the window shows and saves. Nothing waits: with the
// chooser shown, the tester window opens from the chooser's click.
class Startup : public QObject
{
    Q_OBJECT

public:
    using OpenTester = std::function<void(DisplayProfile)>;

    Startup(const QString &dataFolder, OpenTester openTester, QObject *parent = nullptr);

    // A saved profile opens the tester window before this returns; otherwise the chooser is
    // shown. A file without "Sys.Color" is moved to SETUP.INI.bak first; one that cannot be read
    // is left as it is, for the tester window to report.
    void start();

signals:
    // The chooser was closed without a choice: no tester window opens and the program should
    // end.
    void abandoned();

private:
    QString settingsPath;
    OpenTester openTester;
};
