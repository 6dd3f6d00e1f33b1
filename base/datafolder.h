// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The folder that holds SETUP.INI and the ports/ links: the running program's own folder when it
// runs from its build tree, otherwise the per-user configuration folder ~/.config/brisvel, made
// when missing.
QString dataFolder();
QString dataFolderFor(const QString &programFolder);
