// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/validatorrig.h"

#include "link/comport.h"

#include <QDir>
#include <QFile>

ValidatorRig::ValidatorRig(QObject *parent)
    : QObject(parent)
{
    clock.start();
}

bool ValidatorRig::open(bool fast, QString *error)
{
    if (!dataFolder.isValid() || !QDir(folder()).mkpath(QStringLiteral("ports"))) {
        *error = QStringLiteral("cannot make a data folder");
        return false;
    }
    if (!terminal.openPair()) {
        *error = terminal.errorString();
        return false;
    }
    if (!QFile::link(terminal.slaveName(), comPortLink(1, folder()))) {
        *error = QStringLiteral("cannot link COM1 to %1").arg(terminal.slaveName());
        return false;
    }
    validatorLine = std::make_unique<ValidatorLine>(validatorEngine, &terminal);
    validatorLine->setFast(fast);
    connect(validatorLine.get(), &ValidatorLine::received, this, &ValidatorRig::takeFrame);
    connect(validatorLine.get(), &ValidatorLine::sent, this, [this] { emit replySent(now()); });
    return true;
}

void ValidatorRig::takeFrame(const QByteArray &frame, bool answered)
{
    if (!answered)
        return;
    frameArrivals.append(now());
    if (frame == lastFrame)
        ++repeatedFrames;
    lastFrame = frame;
    emit frameReceived(frameArrivals.size());
}
