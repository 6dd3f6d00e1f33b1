// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/validatorreply.h"

// One frame that began with the start byte, as the receive side took it: everything that the log,
// the tally, the traffic record, the statistics and the runner need of it, decoded once.
struct ReplyReport
{
    ValidatorReply reply;
    // Start, length and end byte and checksum right: decoded, shown and counted. Anything else
    // is no response, and nothing of it is decoded.
    bool good = false;
    DecodedReply decoded; // of a good reply, after the replies before it
    // A good reply that differs from the good reply before it; a repeat reports nothing new.
    bool newReport = false;
    bool stackedNote = false; // the tally counted a note for it
    qint64 wallMs = 0; // when it was read: the time of day
    qint64 steadyMs = 0; // and a monotonic clock's time, as the frames' sends are timed
};

// The report of `reply`, read after the replies that left `memory` and `previousGood`.
ReplyReport reportReply(const ValidatorReply &reply, const DecodeMemory &memory,
                        const ValidatorReply &previousGood);
