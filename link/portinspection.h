#pragma once

#include "portdiagnosis.h"

// Looks a failed port up on this system: the device's owner and permissions, the user's groups,
// and the program that holds the device. Each answers what it can and leaves the rest empty.

DeviceStatus inspectDevice(const QString &path);
UserStatus inspectUser();
// Found through the device's lock file and, on Linux, the open files of the user's processes.
QString deviceHolder(const QString &path);
