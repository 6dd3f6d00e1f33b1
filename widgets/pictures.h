// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

// The pictures drawn for the program, kept as SVG drawings in the resources at
// ":/pictures/<name>.svg", each drawn for one size in pixels:
//   "logo"      118 x 34  the Brisvel wordmark with a banknote
//   "runoff"     29 x 28  the run switch while off: a round button with a red cross
//   "runon"      28 x 27  the run switch while on: a round button with a red ring
//   "question"   16 x 16  a question mark, the configure toggle and the icon of the side windows
//   "computer"   32 x 32  a computer, the tester window's icon
QString picturePath(const QString &name);

// The picture rendered at `size`, or at the size it was drawn for when `size` is empty. A null
// pixmap when there is no picture of that name.
QPixmap picture(const QString &name, const QSize &size = QSize());
