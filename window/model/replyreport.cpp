// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/model/replyreport.h"

ReplyReport reportReply(const ValidatorReply &reply, const DecodeMemory &memory,
                        const ValidatorReply &previousGood)
{
    ReplyReport report;
    report.reply = reply;
    report.good = reply.isGood();
    if (report.good) {
        report.decoded = decodeReply(reply, memory);
        report.newReport = reply.bytes != previousGood.bytes;
    }
    return report;
}
