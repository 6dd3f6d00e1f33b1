// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/modelpoller.h"

#include "bench/validatorrig.h"

ModelPoller::ModelPoller(ValidatorRig &validator, int intervalMs, qsizetype frameCount,
                         QObject *parent)
    : QObject(parent)
    , rig(validator)
    , serial(validator.folder())
    , model(&serial)
    , interval(intervalMs)
    , frames(frameCount)
{
    connect(&rig, &ValidatorRig::frameReceived, this, &ModelPoller::frameReceived);
    connect(&rig, &ValidatorRig::replySent, this, [this](qint64 at) { replyLeft = at; });
    connect(&model, &TesterModel::logChanged, this, [this] {
        if (replyLeft < 0 || !model.members().replyReceived)
            return;
        latencies.append(double(rig.now() - replyLeft) / 1e6);
        replyLeft = -1;
    });
    connect(&model, &TesterModel::portFailed, this, [this] {
        failed = true;
        emit finished();
    });
}

void ModelPoller::start()
{
    SetupSettings settings; // COM1, every channel enabled
    settings.pollRate = QString::number(interval);
    model.applySettings(settings);
    model.markPortForReopen();
    model.setEscrow(true);
    model.ValueChg();
    model.clickModeButton();
    model.setRunSwitch(true);
}

void ModelPoller::frameReceived(qsizetype count)
{
    if (count < frames)
        return;
    model.setRunSwitch(false);
    emit finished();
}
