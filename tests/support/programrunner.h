// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

// One of the programs (brisvel, brisvel-run, brisvel-validator-sim) started as a user starts
// it, and killed if it still runs when the test ends.
class ProgramRunner
{
public:
    static constexpr int patience = 30000; // ms; generous for loaded and sanitized runs

    // `prepare` sets the process up further before it starts, such as with a child process
    // modifier.
    ProgramRunner(const QString &path, const QStringList &arguments,
                  const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
                  const std::function<void(QProcess &)> &prepare = {})
    {
        process.setProcessEnvironment(environment);
        if (prepare)
            prepare(process);
        process.start(path, arguments);
    }
    ~ProgramRunner()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            QSignalSpy(&process, &QProcess::finished).wait(patience);
        }
    }
    ProgramRunner(const ProgramRunner &) = delete;
    ProgramRunner &operator=(const ProgramRunner &) = delete;

    // The next line of standard output, trimmed; empty when none came.
    QString nextLine()
    {
        if (!QTest::qWaitFor([&] { return process.canReadLine(); }, patience))
            ADD_FAILURE() << "no line on standard output";
        return QString::fromLocal8Bit(process.readLine()).trimmed();
    }

    // Waits for the end and keeps what is left of standard output and error. The exit code, or
    // -1 when the program did not end or crashed.
    int finish()
    {
        if (process.state() != QProcess::NotRunning
            && !QSignalSpy(&process, &QProcess::finished).wait(patience))
            return -1;
        out = QString::fromLocal8Bit(process.readAllStandardOutput());
        err = QString::fromLocal8Bit(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QProcess process;
    QString out;
    QString err;
};
