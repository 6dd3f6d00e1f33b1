// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/channels.h"
#include "tests/support/memoryline.h"
#include "window/model/testermodel.h"

// Sets a model up as the tests use it: port 1, opened at the next send; every channel enabled,
// escrow on, Normal Poll; and a poll interval that never ticks within a test, so that every
// send is the test's own.
inline void setUpHandPaced(TesterModel &model)
{
    model.setPortText(QStringLiteral("1"));
    model.setComPort(1);
    model.markPortForReopen();
    model.setIntervalText(QStringLiteral("65535"));
    for (int i = 0; i < channelCount; ++i)
        model.setChannelState(i, 1);
    model.setEscrow(true);
    model.ValueChg();
    model.clickModeButton();
}

// The model set up by hand on a memory line: the test plays the validator with line.push()
// and sends with model.SendCommand().
struct HandPacedModel
{
    HandPacedModel()
        : model(&line)
    {
        setUpHandPaced(model);
    }

    QByteArray lastFrame() const { return line.written.value(line.written.size() - 1); }
    void selectMode(PollMode mode)
    {
        while (model.members().pollMode != mode)
            model.clickModeButton();
    }

    MemoryLine line;
    TesterModel model;
};
