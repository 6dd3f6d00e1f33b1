// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/pollmode.h"

PollMode nextPollMode(PollMode mode)
{
    return mode >= NegativeAck ? NormalPoll : PollMode(mode + 1);
}

QString pollModeCaption(PollMode mode)
{
    switch (mode) {
    case NormalPoll:
        return QStringLiteral("Normal Poll");
    case StepInto:
        return QStringLiteral("Step Into");
    case InterruptMode:
        return QStringLiteral("Interrupt Mode");
    case NegativeAck:
        return QStringLiteral("Negative ACK");
    case NoPollMode:
        break;
    }
    return {};
}
