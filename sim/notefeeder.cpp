// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/notefeeder.h"

#include "sim/validatorengine.h"

#include <QList>

NoteFeeder::NoteFeeder(ValidatorEngine &engine, quint32 seed, QObject *parent)
    : QObject(parent)
    , engine(engine)
    , generator(seed)
{
    connect(&timer, &QTimer::timeout, this, &NoteFeeder::feed);
}

void NoteFeeder::start(std::chrono::milliseconds interval)
{
    timer.start(interval);
}

int NoteFeeder::feed()
{
    if (!engine.readyForNote())
        return 0;
    QList<int> enabled;
    for (int channel = 1; channel <= channelCount; ++channel) {
        if (engine.enabledChannels() & (1 << (channel - 1)))
            enabled.append(channel);
    }
    if (enabled.isEmpty())
        return 0;
    const int channel = enabled[generator.bounded(int(enabled.size()))];
    engine.insertNote(channel);
    emit inserted(channel);
    return channel;
}
