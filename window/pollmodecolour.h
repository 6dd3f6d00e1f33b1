// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/pollmode.h"
#include "settings/file/setupfile.h"

#include <QColor>

// The colour of the poll mode button in each mode; the 256-colour layout has its own palette.
QColor pollModeColour(PollMode mode, DisplayProfile profile);
