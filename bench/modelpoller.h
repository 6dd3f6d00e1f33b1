// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/qtserialline.h"
#include "window/model/testermodel.h"

#include <QList>
#include <QObject>

class ValidatorRig;

// The tester's model in this process, polling the rig's validator with its own poll timer until
// the validator has taken a given number of frames. Times each reply from its last byte leaving
// the validator to the log row that shows it.
class ModelPoller : public QObject
{
    Q_OBJECT

public:
    ModelPoller(ValidatorRig &validator, int intervalMs, qsizetype frameCount,
                QObject *parent = nullptr);

    void start();
    // Milliseconds from each reply's last byte on the line to its log row.
    const QList<double> &replyLatencies() const { return latencies; }
    bool portFailed() const { return failed; }

signals:
    void finished();

private:
    void frameReceived(qsizetype count);

    ValidatorRig &rig;
    QtSerialLine serial;
    TesterModel model;
    int interval;
    qsizetype frames;
    qint64 replyLeft = -1; // rig time of the last reply byte not yet logged
    QList<double> latencies;
    bool failed = false;
};
