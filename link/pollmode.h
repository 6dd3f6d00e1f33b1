#pragma once

#include <QColor>
#include <QString>

// How the run switch and the poll timer drive the sends. 0 exists only before the window's
// opening selects NormalPoll.
enum PollMode : qint16 { NoPollMode = 0, NormalPoll = 1, StepInto, InterruptMode, NegativeAck };

// The layout a window shows: high colour 800 x 600, or 256 colour 640 x 480.
enum DisplayProfile : qint16 { ProfileNotChosen = 0, HighColour = 1, Colour256 = 2 };

PollMode nextPollMode(PollMode mode);
QString pollModeCaption(PollMode mode);
QColor pollModeColour(PollMode mode, DisplayProfile profile);
