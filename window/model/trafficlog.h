// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>

// The sixteen rows of the traffic log: a sent column and a reply column, paired row by row.
// Each frame sent opens a row; its reply or no-response line lands in the same row. Once all
// rows are used, each column scrolls up by one row when it is written.
class TrafficLog
{
public:
    static constexpr int rows = 16;

    void writeSent(const QString &line);
    void writeReply(const QString &line);
    void clear();

    const QString &sent(int row) const { return sentRows[row]; }
    const QString &reply(int row) const { return replyRows[row]; }
    // Sent lines written since the log was last emptied, held at 17 once the log is full.
    qint16 logRow() const { return row; }

private:
    static void scroll(std::array<QString, rows> &column, const QString &line);

    std::array<QString, rows> sentRows;
    std::array<QString, rows> replyRows;
    qint16 row = 0;
};
