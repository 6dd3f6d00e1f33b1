// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/serialline.h"

#include <QList>

// A serial line in memory: what the model writes is kept, and the test plays the validator by
// pushing bytes into the input.
class MemoryLine : public SerialLine
{
    Q_OBJECT

public:
    using SerialLine::SerialLine;

    bool isOpen() const override { return opened; }
    void close() override { opened = false; }
    bool setCommPort(int number) override;
    bool setSettings(const QString &text) override;
    void setDtrEnable(bool on) override { dtr = on; }
    void setRtsEnable(bool on) override { rts = on; }
    bool open() override;
    bool write(const QByteArray &bytes) override;
    qint64 inBufferCount() const override { return inBuffer.size(); }
    QByteArray input() override;
    void clearInBuffer() override;
    int errorNumber() const override { return 8002; }
    QString errorDetail() const override { return QStringLiteral("no such port"); }

    // Bytes arriving from the validator; raises the receive event.
    void push(const QByteArray &bytes);
    // Bytes that have arrived while the program was busy: their receive event is still to come.
    void arrive(const QByteArray &bytes) { inBuffer += bytes; }
    // Makes the next writes fail, as on a line whose far end went away.
    void breakLine() { broken = true; }

    QList<QByteArray> written;
    QList<int> openedPorts;
    QString settings;
    bool dtr = false;
    bool rts = false;
    int clearRequests = 0;
    int openAttempts = 0;
    // Ports that exist; any other number fails to open.
    QList<int> existingPorts{1, 2, 3};

private:
    bool opened = false;
    bool broken = false;
    int selected = 0;
    QByteArray inBuffer;
};
