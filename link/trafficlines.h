// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

struct HostCommand;
struct ValidatorReply;

// " 02 08 cc d0 d1 d2 03 ss tag": 28 characters with a three-character tag.
QString sentFrameLine(const HostCommand &command);

// " 02 " then bytes 1 to 10 each followed by a blank, then the state tag, the note index and
// the event tag: 43 characters.
QString replyLine(const ValidatorReply &reply, const QString &stateTag,
                  const QString &noteIndexText, const QString &eventTag);

// Stands in the reply column for a frame that got no good reply: 28 characters.
QString noResponseLine();
