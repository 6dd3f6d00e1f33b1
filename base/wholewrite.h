// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

class QIODevice;

// Writes all of `bytes`, going on after a short write: the write that then fails leaves the
// system's reason ("No space left on device") in the device's errorString, where a short write
// alone leaves none.
bool writeWhole(QIODevice &device, const QByteArray &bytes);
