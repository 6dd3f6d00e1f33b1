// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/hostcommand.h"

namespace {

bool ticked(int state)
{
    return state == 1;
}

} // namespace

QByteArray HostCommand::frame(quint8 control, quint8 data0, quint8 data1)
{
    const char data[] = {char(data0), char(data1), 0};
    return Frame::build(length, control, QByteArrayView(data, sizeof data));
}

QByteArray HostCommand::bytes() const
{
    return frameText.isEmpty() ? Frame::laidOut(length, 0, {}) : frameText;
}

QString HostCommand::tag() const
{
    if (frameText.isEmpty())
        return {};
    const quint8 instruction = data1() & (Frame::stackNote | Frame::returnNote);
    if (instruction == Frame::stackNote)
        return QStringLiteral("STK");
    if (instruction == Frame::returnNote)
        return QStringLiteral("RTN");
    return (control() & Frame::calibrationCommand) ? QStringLiteral("CAL") : QStringLiteral("   ");
}

BuildResult BuildCommand(const BuildInputs &in)
{
    BuildResult out;
    out.hostState = QStringLiteral(" RUNNING");
    out.ackToggle = !in.ackToggle;

    quint8 control = Frame::normalCommand;
    if (in.calibration) {
        control = Frame::calibrationCommand;
        out.hostState = QStringLiteral(" CALIBRATION MODE");
    }
    if (out.ackToggle)
        control |= Frame::ackBit;

    if (in.escrow && in.escrowed) {
        // A note whose channel the validator did not name must never be stacked: it is
        // handled like a note of a disabled channel and returned.
        const bool named = in.noteIndex >= 1 && in.noteIndex <= channelCount;
        if (named && ticked(in.channelStates[in.noteIndex - 1])) {
            out.stackRequest = true;
            out.hostState = QStringLiteral(" STACK BILL");
        } else {
            out.returnRequest = true;
            out.hostState = QStringLiteral(" RETURN BILL");
        }
    }

    quint8 data0 = 0;
    for (int i = 0; i < channelCount; ++i) {
        if (ticked(in.channelStates[i]))
            data0 |= quint8(1 << i);
    }
    const quint8 data1 = (in.escrow ? Frame::escrowEnabled : 0)
                         | (out.stackRequest ? Frame::stackNote : 0)
                         | (out.returnRequest ? Frame::returnNote : 0);
    out.command.frameText = HostCommand::frame(control, data0, data1);
    return out;
}
