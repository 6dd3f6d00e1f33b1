#include "notefeeder.h"

#include "validatorengine.h"

#include <QList>

NoteFeeder::NoteFeeder(ValidatorEngine &engine, quint32 seed, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
    , m_random(seed)
{
    connect(&m_timer, &QTimer::timeout, this, &NoteFeeder::feed);
}

void NoteFeeder::start(std::chrono::milliseconds interval)
{
    m_timer.start(interval);
}

int NoteFeeder::feed()
{
    if (!m_engine.readyForNote())
        return 0;
    QList<int> enabled;
    for (int channel = 1; channel <= ValidatorEngine::channelCount; ++channel) {
        if (m_engine.enabledChannels() & (1 << (channel - 1)))
            enabled.append(channel);
    }
    if (enabled.isEmpty())
        return 0;
    const int channel = enabled[m_random.bounded(int(enabled.size()))];
    m_engine.insertNote(channel);
    emit inserted(channel);
    return channel;
}
