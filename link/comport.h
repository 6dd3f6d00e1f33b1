// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The highest COM port number: the tester's port box and SETUP.INI hold it in 16 bits.
constexpr int highestComPort = 32767;

// Where a COM port number leads: "COMn" on Windows; elsewhere the target of the link
// ports/comN in the data folder when it exists, the path ports/comN itself when a file or folder
// stands there, otherwise /dev/ttyS<n-1>. Empty for n <= 0.
QString comPortDevice(int number, const QString &dataFolder);

// The link that gives a device a COM number.
QString comPortLink(int number, const QString &dataFolder);

// Whether a device path names the slave side of a pseudo-terminal, such as the simulator's.
bool isPseudoTerminalPath(const QString &path);
