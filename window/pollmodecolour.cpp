// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/pollmodecolour.h"

QColor pollModeColour(PollMode mode, DisplayProfile profile)
{
    const bool small = profile == Colour256;
    switch (mode) {
    case NormalPoll:
        return QColor(small ? 0xFF0000 : 0xFF8080);
    case StepInto:
        return QColor(small ? 0x80FF80 : 0x00FF00);
    case InterruptMode:
        return QColor(small ? 0x80FFFF : 0x00FFFF);
    case NegativeAck:
        return QColor(0xFF80FF);
    case NoPollMode:
        break;
    }
    return {};
}
