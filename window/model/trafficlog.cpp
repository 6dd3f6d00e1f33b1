// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/model/trafficlog.h"

#include <algorithm>

void TrafficLog::writeSent(const QString &line)
{
    if (row == rows + 1)
        row = rows;
    if (row < rows)
        sentRows[row] = line;
    else
        scroll(sentRows, line);
    ++row;
}

void TrafficLog::writeReply(const QString &line)
{
    // Before any frame was sent since the log was emptied, a reply has no row to stand in.
    if (row == 0)
        return;
    if (row <= rows)
        replyRows[row - 1] = line;
    else
        scroll(replyRows, line);
}

void TrafficLog::clear()
{
    sentRows.fill(QString());
    replyRows.fill(QString());
    row = 0;
}

void TrafficLog::scroll(std::array<QString, rows> &column, const QString &line)
{
    std::rotate(column.begin(), column.begin() + 1, column.end());
    column.back() = line;
}
