// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// Moves a top-level window so that its client area stands in the middle of its screen.
void centreOnScreen(QWidget *window);

// Gives a form and every control without a font of its own Times New Roman at `pointSize`.
void setFormFont(QWidget *form, double pointSize);
