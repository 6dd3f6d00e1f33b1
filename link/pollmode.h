// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// How the run switch and the poll timer drive the sends. 0 exists only before the window's
// opening selects NormalPoll.
enum PollMode : qint16 { NoPollMode = 0, NormalPoll = 1, StepInto, InterruptMode, NegativeAck };

PollMode nextPollMode(PollMode mode);
QString pollModeCaption(PollMode mode);
