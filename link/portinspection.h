// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/portdiagnosis.h"

// Looks a port up on this system: what the device is, its owner and permissions, the user's
// groups, and the programs that hold the device. Each answers what it can and leaves the rest
// empty.

DeviceStatus inspectDevice(const QString &path);
UserStatus inspectUser();
// Other processes than this one, found through the device's lock file and, on Linux, the open
// files of the user's processes; the lock's holder first.
QStringList deviceHolders(const QString &path);
