// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/qtserialline.h"
#include "window/model/testermodel.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

// A long run of the tester's model against the simulator program in its fast mode, on a
// pseudo-terminal. Each poll is sent as soon as the reply to the one before has been handled;
// notes of random channels are inserted all along and none in the last polls, so that every
// note is through when the counts are compared.
class Soak : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        qsizetype polls = 0;
        double seconds = 0;
        int stackedBySimulator = -1;
        int counted = 0;
        int noResponse = 0; // sends that found no reply to the one before
        double rssAfterFirstMiB = 0; // resident memory after the first 1,000 polls
        double rssAtEndMiB = 0;
    };

    Soak(const QString &simulatorProgram, qsizetype pollCount, QObject *parent = nullptr);

    void start();
    const Result &result() const { return measured; }
    QString error() const { return failure; }

signals:
    void finished();

private:
    void simulatorOutput();
    void replyHandled();
    void sendNext();
    void fail(const QString &text);
    static double rssMiB();

    QTemporaryDir dataFolder;
    QString simulatorPath;
    qsizetype polls;
    QProcess simulator;
    QByteArray simulatorText;
    QtSerialLine serial;
    TesterModel model;
    QTimer watchdog;
    QRandomGenerator random{1};
    QElapsedTimer clock;
    bool running = false;
    Result measured;
    QString failure;
};
