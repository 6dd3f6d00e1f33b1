// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the configuration dialog and the About window need of the open tester window: the note
// values of the seven channels, held as the captions of its channel enable boxes (channel n at
// index n - 1), and its operation that copies them into the tally's value column.
class ChannelValues
{
public:
    virtual ~ChannelValues();
    virtual QString channelCaption(int index) const = 0;
    virtual void setChannelCaption(int index, const QString &caption) = 0;
    virtual void ValueChg() = 0;
};
