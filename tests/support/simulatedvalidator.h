// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/comport.h"
#include "sim/pseudoterminal.h"
#include "sim/validatorengine.h"
#include "sim/validatorline.h"

#include <QDir>
#include <QFile>
#include <QSerialPort>
#include <QTest>

#include <gtest/gtest.h>

// Opens `device` as the tester opens its port: 9600 baud, 7 data bits, even parity.
inline bool openHost(QSerialPort &host, const QString &device)
{
    host.setPortName(device);
    host.setBaudRate(QSerialPort::Baud9600);
    host.setParity(QSerialPort::EvenParity);
    host.setDataBits(QSerialPort::Data7);
    return host.open(QIODevice::ReadWrite);
}

// The simulated validator on a pseudo-terminal, answering from its own engine or from another
// source (a record played back). Linked as a COM port of a data folder, the tester opens it as
// it would open a real port; a test that plays the host opens the far end with openHost().
// It replies at once unless the test sets the line's pace.
class SimulatedValidator
{
public:
    explicit SimulatedValidator(const QString &dataFolder = {}, int comPort = 1,
                                ReplySource *source = nullptr)
        : line(source ? *source : engine, &pty)
    {
        EXPECT_TRUE(pty.openPair()) << qPrintable(pty.errorString());
        if (!dataFolder.isEmpty()) {
            const QString link = comPortLink(comPort, dataFolder);
            QDir(dataFolder).mkpath(QStringLiteral("ports"));
            QFile::remove(link);
            EXPECT_TRUE(QFile::link(pty.slaveName(), link));
        }
        line.setFast(true);
        QObject::connect(&line, &ValidatorLine::received, &line,
                         [this](const QByteArray &bytes, bool answered) {
                             (answered ? frames : junk) << bytes;
                         });
        QObject::connect(&line, &ValidatorLine::sent, &line,
                         [this](const QByteArray &bytes) { replies << bytes; });
    }

    bool openHost(QSerialPort &host) const { return ::openHost(host, pty.slaveName()); }

    ValidatorEngine engine;
    PseudoTerminal pty;
    ValidatorLine line;
    QList<QByteArray> frames; // the commands answered
    QList<QByteArray> junk; // bytes thrown away
    QList<QByteArray> replies; // as written: a split reply in its pieces
};

// Everything the host reads until at least `count` bytes have come.
inline QByteArray readAtLeast(QSerialPort &host, qsizetype count)
{
    QByteArray got;
    if (!QTest::qWaitFor(
                [&] {
                    got += host.readAll();
                    return got.size() >= count;
                },
                10000))
        ADD_FAILURE() << "only " << got.size() << " of " << count << " bytes came";
    return got;
}
