// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/pseudoterminal.h"
#include "sim/validatorengine.h"
#include "sim/validatorline.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTemporaryDir>

// The simulated validator of a measurement, on a pseudo-terminal linked as COM1 in a data folder
// of its own. Times every frame as it arrives and every reply as it leaves, on one clock.
// The data folder is `brisvel` in a configuration home of its own: a program outside a build tree
// keeps its data there, and so finds this folder when given this home (XDG_CONFIG_HOME).
class ValidatorRig : public QObject
{
    Q_OBJECT

public:
    explicit ValidatorRig(QObject *parent = nullptr);

    // Opens the line; replies come at the real line's pace unless `fast`.
    bool open(bool fast, QString *error);
    QString folder() const { return configHome() + QStringLiteral("/brisvel"); }
    QString configHome() const { return dataFolder.path(); }
    ValidatorLine &line() { return *validatorLine; }
    ValidatorEngine &engine() { return validatorEngine; }

    // Nanoseconds on the rig's clock.
    qint64 now() const { return clock.nsecsElapsed(); }
    const QList<qint64> &frameTimes() const { return frameArrivals; }
    // Frames that repeated the one before: each marks a send that found no good reply.
    int repeats() const { return repeatedFrames; }

signals:
    void frameReceived(qsizetype count);
    // The last byte of a reply has been written to the line.
    void replySent(qint64 at);

private:
    void takeFrame(const QByteArray &frame, bool answered);

    QTemporaryDir dataFolder;
    QElapsedTimer clock;
    ValidatorEngine validatorEngine;
    PseudoTerminal terminal;
    std::unique_ptr<ValidatorLine> validatorLine;
    QList<qint64> frameArrivals;
    QByteArray lastFrame;
    int repeatedFrames = 0;
};
