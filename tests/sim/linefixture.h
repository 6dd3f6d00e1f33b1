#pragma once

#include "pseudoterminal.h"
#include "validatorengine.h"
#include "validatorline.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

// A simulator line on a pseudo-terminal, in this process, with the host's serial port on the
// slave side.
class LineFixture : public testing::Test
{
protected:
    static constexpr int patience = 5000; // ms; generous for loaded machines

    void SetUp() override
    {
        ASSERT_TRUE(pty.openPair()) << qPrintable(pty.errorString());
        host.setPortName(pty.slaveName());
        host.setBaudRate(QSerialPort::Baud9600);
        host.setParity(QSerialPort::EvenParity);
        host.setDataBits(QSerialPort::Data7);
        ASSERT_TRUE(host.open(QIODevice::ReadWrite)) << qPrintable(host.errorString());
        line.setFast(true);
    }

    // Everything the host reads until at least count bytes have come.
    QByteArray readAtLeast(qsizetype count)
    {
        const bool arrived = QTest::qWaitFor(
                [&] {
                    collected += host.readAll();
                    return collected.size() >= count;
                },
                patience);
        if (!arrived)
            ADD_FAILURE() << "only " << collected.size() << " of " << count << " bytes came";
        return std::exchange(collected, {});
    }

    ValidatorEngine engine;
    PseudoTerminal pty;
    ValidatorLine line{engine, &pty};
    QSerialPort host;
    QSignalSpy received{&line, &ValidatorLine::received};
    QSignalSpy sent{&line, &ValidatorLine::sent};

private:
    QByteArray collected;
};
