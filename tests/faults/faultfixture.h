// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/numbers.h"
#include "link/qtserialline.h"
#include "tests/support/frames.h"
#include "tests/support/handpacedmodel.h"
#include "tests/support/simulatedvalidator.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>

// The tester's model on a real serial port with the simulated validator at the other end of a
// pseudo-terminal, all in this process and its one event loop. The port is COM1 of a data
// folder of its own; the tests send by hand unless they set a poll interval.
class FaultFixture : public testing::Test
{
protected:
    static constexpr int patience = 10000; // ms; generous for loaded and sanitized runs

    ~FaultFixture() override { closeQueue(); }

    void SetUp() override
    {
        ASSERT_TRUE(plugIn());
        setUpHandPaced(model);
        // As the high-colour tester window sets its model up.
        model.setInputEmptiedAtRunStart(true);
    }

    // A new validator line on a new pseudo-terminal, linked as COM1; the engine stays.
    bool plugIn()
    {
        closeQueue();
        if (validator)
            repliesBefore += validator->line.repliesSent();
        validator = std::make_unique<SimulatedValidator>(folder.path(), 1, &engine);
        // A second descriptor of the slave side, to look into its input queue without reading.
        queue = ::open(QFile::encodeName(validator->pty.slaveName()).constData(),
                       O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        return queue >= 0;
    }
    // As when the cable is pulled.
    void hangUp()
    {
        closeQueue();
        validator->line.hangUp();
    }

    bool waitUntil(const std::function<bool()> &condition)
    {
        return QTest::qWaitFor(condition, patience);
    }
    // Turns the run switch on and waits for the first reply to be handled.
    bool startRun()
    {
        const qsizetype before = validator->frames.size();
        const int replies = repliesSent() + 1;
        model.setRunSwitch(true);
        return waitUntil([&] { return validator->frames.size() > before; }) && settle(replies);
    }
    // One send by hand; the frame as the validator took it, empty when none arrived.
    QByteArray poll()
    {
        const qsizetype before = validator->frames.size();
        model.SendCommand();
        if (!waitUntil([&] { return validator->frames.size() > before; }))
            return {};
        return validator->frames.last();
    }
    // One send by hand and its reply handled; the frame, empty when either failed.
    QByteArray exchange()
    {
        const int replies = repliesSent() + 1;
        const QByteArray frame = poll();
        return settle(replies) ? frame : QByteArray();
    }
    int repliesSent() const { return repliesBefore + validator->line.repliesSent(); }
    // Waits until the validator has written `replies` replies in full since the fixture began,
    // the host has taken every byte off the line, and no resynchronisation is under way. Fewer
    // bytes than a reply may stay waiting in the port: the host reads only once 11 are there.
    bool settle(int replies)
    {
        // Bytes written on the master side reach the slave's queue a moment later: the line
        // counts as settled only when it is found so twice, with the event loop run in between.
        int quietChecks = 0;
        return waitUntil([&] {
            const bool quiet = repliesSent() >= replies && waitingOnLine() == 0
                               && serial.inBufferCount() < ValidatorReply::length
                               && !model.resyncPending();
            quietChecks = quiet ? quietChecks + 1 : 0;
            return quietChecks >= 2;
        });
    }
    // Bytes that the validator wrote and the host has not read yet: on the line and in the port.
    int unread() const { return waitingOnLine() + int(serial.inBufferCount()); }

    int tallyTotal() const
    {
        return int(Numbers::parsePlain(model.tally().quantity(NoteTally::totalRow)).value_or(-1));
    }
    // The reply column of the row of the last frame sent (while the log is not full).
    QString lastReplyRow() const { return model.log().reply(model.log().logRow() - 1); }

    QTemporaryDir folder;
    ValidatorEngine engine;
    std::unique_ptr<SimulatedValidator> validator;
    QtSerialLine serial{folder.path()};
    TesterModel model{&serial};
    QSignalSpy portFailed{&model, &TesterModel::portFailed};

private:
    int waitingOnLine() const
    {
        int count = 0;
        return queue >= 0 && ::ioctl(queue, FIONREAD, &count) == 0 ? count : 0;
    }
    void closeQueue()
    {
        if (queue >= 0)
            ::close(std::exchange(queue, -1));
    }

    int queue = -1;
    int repliesBefore = 0; // replies written by validator lines already unplugged
};
