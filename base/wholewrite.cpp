// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/wholewrite.h"

#include <QIODevice>

bool writeWhole(QIODevice &device, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = device.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}
