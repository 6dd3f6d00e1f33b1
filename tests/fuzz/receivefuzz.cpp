// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/fuzz/receivefuzz.h"

#include "tests/support/handpacedmodel.h"

#include <QCoreApplication>

namespace ReceiveFuzz {

namespace {

struct Input
{
    QByteArray data;
    qsizetype at = 0;

    bool atEnd() const { return at >= data.size(); }
    int byte() { return atEnd() ? 0 : quint8(data[at++]); }
    QByteArray bytes(qsizetype count)
    {
        const QByteArray taken = data.mid(at, count);
        at += taken.size();
        return taken;
    }
};

enum Operation { Push, Send, RunSwitch, ModeButton, ChannelState, Switches, Entry, Line };

void enter(TesterModel &model, int target, const QString &text)
{
    if (target % 4 == 0)
        model.setPortText(text);
    else if (target % 4 == 1)
        model.setIntervalText(text);
    else if (target % 4 == 3)
        model.ResetTotals();
    else {
        model.setChannelCaption(target / 4 % 7, text);
        model.ValueChg();
    }
}

void lineEvent(MemoryLine &line, TesterModel &model, int event)
{
    if (event % 4 == 0)
        line.breakLine();
    else if (event % 4 == 1)
        QCoreApplication::processEvents();
    else if (event % 4 == 2)
        model.closePort();
    else
        model.markPortForReopen();
}

} // namespace

void run(const std::uint8_t *data, std::size_t size)
{
    MemoryLine line;
    TesterModel model(&line);
    model.setInputEmptiedAtRunStart((size & 1) != 0);
    setUpHandPaced(model);
    Input input{QByteArray(reinterpret_cast<const char *>(data), qsizetype(size))};
    while (!input.atEnd()) {
        const int op = input.byte();
        const int arg = op & 0x1F;
        switch (Operation(op >> 5)) {
        case Push:
            line.push(input.bytes(arg + 1));
            break;
        case Send:
            model.SendCommand();
            break;
        case RunSwitch:
            model.setRunSwitch(!model.panel().runSwitch);
            break;
        case ModeButton:
            model.clickModeButton();
            break;
        case ChannelState:
            model.setChannelState(arg % 7, arg / 7 % 3);
            break;
        case Switches:
            model.setEscrow(arg & 1);
            model.setCalibration(arg & 2);
            break;
        case Entry:
            enter(model, arg, QString::fromLatin1(input.bytes(input.byte() % 16)));
            break;
        case Line:
            lineEvent(line, model, arg);
            break;
        }
    }
}

} // namespace ReceiveFuzz
