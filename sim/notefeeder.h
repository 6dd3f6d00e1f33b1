// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QRandomGenerator>
#include <QTimer>

#include <chrono>

class ValidatorEngine;

// Inserts a note at regular intervals, of a channel picked at random among those the host
// enabled in its last command.
class NoteFeeder : public QObject
{
    Q_OBJECT

public:
    NoteFeeder(ValidatorEngine &engine, quint32 seed, QObject *parent = nullptr);

    void start(std::chrono::milliseconds interval);
    // One insertion now; the channel inserted, or 0 when no channel is enabled or the
    // validator cannot take a note.
    int feed();

signals:
    void inserted(int channel);

private:
    ValidatorEngine &engine;
    QRandomGenerator generator;
    QTimer timer;
};
