#pragma once

#include "channelvalues.h"

#include <QObject>

#include <array>

// A tester window reduced to its seven channel captions and a count of ValueChg calls.
class FakeChannels : public QObject, public ChannelValues
{
public:
    std::array<QString, 7> captions{"1", "2", "5", "10", "20", "50", "100"};
    int valueChgCalls = 0;

    QString channelCaption(int index) const override { return captions.at(index); }
    void setChannelCaption(int index, const QString &caption) override
    {
        captions.at(index) = caption;
    }
    void ValueChg() override { ++valueChgCalls; }
};
