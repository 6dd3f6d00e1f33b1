// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostcommand.h"

namespace {

constexpr qint16 normalCommand = 0x10;
constexpr qint16 calibrationCommand = 0x40;

bool ticked(int state)
{
    return state == 1;
}

} // namespace

BuildResult BuildCommand(const BuildInputs &in)
{
    BuildResult out;
    HostCommand &cmd = out.command;
    cmd.tag = QStringLiteral("   ");
    out.hostState = QStringLiteral(" RUNNING");
    out.ackToggle = !in.ackToggle;

    if (in.calibration) {
        cmd.control = calibrationCommand;
        cmd.tag = QStringLiteral("CAL");
        out.hostState = QStringLiteral(" CALIBRATION MODE");
    } else {
        cmd.control = normalCommand;
    }
    if (out.ackToggle)
        cmd.control += 1;

    if (in.escrow && in.escrowed) {
        // A note whose channel the validator did not name must never be stacked: it is
        // handled like a note of a disabled channel and returned.
        const bool named = in.noteIndex >= 1 && in.noteIndex <= channelCount;
        if (named && ticked(in.channelStates[in.noteIndex - 1])) {
            out.stackRequest = true;
            cmd.tag = QStringLiteral("STK");
            out.hostState = QStringLiteral(" STACK BILL");
        } else {
            out.returnRequest = true;
            cmd.tag = QStringLiteral("RTN");
            out.hostState = QStringLiteral(" RETURN BILL");
        }
    }

    for (int i = 0; i < channelCount; ++i) {
        if (ticked(in.channelStates[i]))
            cmd.data0 += qint16(1 << i);
    }
    cmd.data1 = (in.escrow ? Frame::escrowEnabled : 0) + (out.stackRequest ? Frame::stackNote : 0)
                + (out.returnRequest ? Frame::returnNote : 0);
    cmd.data2 = 0;
    cmd.frameText = QByteArray(HostCommand::length, '\0');
    cmd.frameText[0] = Frame::startByte;
    cmd.frameText[1] = char(HostCommand::length);
    cmd.frameText[2] = char(cmd.control);
    cmd.frameText[3] = char(cmd.data0);
    cmd.frameText[4] = char(cmd.data1);
    cmd.frameText[5] = char(cmd.data2);
    cmd.frameText[6] = Frame::endByte;
    cmd.checksum = frameChecksum(cmd.frameText);
    cmd.frameText[7] = char(cmd.checksum);
    return out;
}

quint8 frameChecksum(QByteArrayView frame)
{
    quint8 sum = 0;
    for (qsizetype i = 1; i + 2 < frame.size(); ++i)
        sum ^= quint8(frame[i]);
    return sum;
}
