#pragma once

#include "comport.h"
#include "pseudoterminal.h"
#include "validatorengine.h"
#include "validatorline.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

// The simulated validator on a pseudo-terminal, linked as a COM port of a data folder, so that
// the tester under test opens it as it would open a real port. It replies at once.
struct SimulatedValidator
{
    SimulatedValidator(const QString &dataFolder, int comPort)
    {
        EXPECT_TRUE(pty.openPair());
        QDir(dataFolder).mkpath(QStringLiteral("ports"));
        EXPECT_TRUE(QFile::link(pty.slaveName(), comPortLink(comPort, dataFolder)));
        line.setFast(true);
        QObject::connect(&line, &ValidatorLine::received, &line,
                         [this](const QByteArray &bytes, bool) { frames << bytes; });
        QObject::connect(&line, &ValidatorLine::sent, &line,
                         [this](const QByteArray &bytes) { replies << bytes; });
    }

    PseudoTerminal pty;
    ValidatorEngine engine;
    ValidatorLine line{engine, &pty};
    QList<QByteArray> frames; // as received, commands and bytes thrown away alike
    QList<QByteArray> replies; // as written
};
