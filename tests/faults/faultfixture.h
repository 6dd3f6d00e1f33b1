#pragma once

#include "pseudoterminal.h"
#include "qtserialline.h"
#include "slavequeue.h"
#include "testermodel.h"
#include "validatorengine.h"
#include "validatorline.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// The tester's model on a real serial port with the simulated validator at the other end of a
// pseudo-terminal, all in this process and its one event loop. The port is COM1 of a data
// folder of its own; the tests send by hand unless they set a poll interval.
class FaultFixture : public testing::Test
{
protected:
    static constexpr int patience = 10000; // ms; generous for loaded and sanitized runs
    // Poll interval that never ticks within a test: sends are made by hand.
    static constexpr const char *handPaced = "65535";

    FaultFixture();

    void SetUp() override;

    // A new validator line on a new pseudo-terminal, linked as COM1; the engine stays.
    bool plugIn();
    // Closes the validator's end of the line, as when the cable is pulled.
    void hangUp();

    bool waitUntil(const std::function<bool()> &condition, int timeout = patience);
    // Turns the run switch on and waits for the first reply to be handled.
    bool startRun();
    // One send by hand; the frame as the validator took it, empty when none arrived.
    QByteArray poll();
    // Replies written in full by the validator since the fixture began.
    int repliesSent() const;
    // Waits until the validator has written `replies` replies in full since the fixture began,
    // the host has taken every byte off the line, and no resynchronisation is under way. Fewer
    // bytes than a reply may stay waiting in the port: the host reads only once 11 are there.
    bool settle(int replies);
    // Bytes that the validator wrote and the host has not read yet: on the line and in the port.
    int unread() const;

    int tallyTotal() const;
    int logRow() const { return model.log().logRow(); }
    // The reply column of the row of the last frame sent (while the log is not full).
    QString lastReplyRow() const { return model.log().reply(logRow() - 1); }

    QTemporaryDir folder;
    ValidatorEngine engine;
    std::unique_ptr<PseudoTerminal> pty;
    std::unique_ptr<ValidatorLine> validator;
    std::unique_ptr<SlaveQueue> slaveQueue;
    QList<QByteArray> frames; // every command frame the validator answered, on all its lines
    QList<QByteArray> junk; // bytes the validator threw away
    QtSerialLine serial;
    TesterModel model;
    QSignalSpy portFailed{&model, &TesterModel::portFailed};

private:
    int repliesBefore = 0; // replies written by validator lines already unplugged
};
