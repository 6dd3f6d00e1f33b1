// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QProcess>
#include <QTimer>

class ValidatorRig;

// The real tester program against the rig's validator: started from a copy in the rig's data
// folder with a SETUP.INI of the given poll interval, on the X display of this process. START is
// pressed with xdotool as soon as the window shows. Runs until the validator has taken `frames`
// frames and `seconds` have passed since START, then measures the program's CPU time and memory
// over the last `seconds`.
class ProgramRun : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        double windowMs = 0; // process start to the window showing
        double startupMs = 0; // process start to the first frame on the line
        double clickToFrameMs = 0; // START pressed to the first frame
        double cpuShare = 0; // of one core, over the measured seconds
        double rssMiB = 0; // resident memory at the end
        double peakRssMiB = 0;
    };

    ProgramRun(ValidatorRig &validator, const QString &testerProgram, int intervalMs,
               qsizetype frameCount, int costSeconds, QObject *parent = nullptr);

    // Can a program run be made here: an X display, xdotool and the program.
    static QString missing(const QString &program);

    void start();
    const Result &result() const { return measured; }
    QString error() const { return failure; }

signals:
    void finished();

private:
    void lookForWindow();
    void windowSearched();
    void frameReceived(qsizetype count);
    void sampleStart();
    void finish();
    void fail(const QString &text);
    // Ends the program; finished() follows once it is gone.
    void stop();
    // User and system time of the program so far, in seconds.
    double cpuSeconds() const;
    double statusMiB(const char *field) const;

    ValidatorRig &rig;
    QString program;
    int interval;
    qsizetype frames;
    int seconds;
    QProcess tester;
    QProcess xdotool;
    QTimer searchTimer;
    QTimer costTimer;
    qint64 startedAt = 0;
    qint64 clickedAt = 0;
    double cpuAtStart = 0;
    bool costDone = false;
    bool framesDone = false;
    bool stopping = false;
    Result measured;
    QString failure;
};
