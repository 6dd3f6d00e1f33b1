// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>

// The validator's line as setSettings takes it: 9600 baud, even parity, 7 data bits, 1 stop bit.
inline QString validatorLineSettings()
{
    return QStringLiteral("9600, E, 7, 1");
}

// One character on that line: 10 bits (start, 7 data, parity, stop) at 9600 baud, 1.0417 ms.
using LineCharacters = std::chrono::duration<qint64, std::ratio<10, 9600>>;

// The serial line as the tester uses it, operation by operation. The window's model drives a
// line through this interface only, so a real port and an in-memory line are interchangeable.
//
// A read always returns every byte waiting, unchanged; received() is raised on the model's
// thread whenever bytes arrive, and the model decides when enough of them wait.
class SerialLine : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual bool isOpen() const = 0;
    virtual void close() = 0;
    // Selects the port for the next open; false when the number cannot name a port.
    virtual bool setCommPort(int number) = 0;
    // Baud rate, parity, data bits and stop bits, written as "9600, E, 7, 1".
    virtual bool setSettings(const QString &settings) = 0;
    virtual void setDtrEnable(bool on) = 0;
    virtual void setRtsEnable(bool on) = 0;
    virtual bool open() = 0;
    virtual bool write(const QByteArray &bytes) = 0;
    virtual qint64 inBufferCount() const = 0;
    virtual QByteArray input() = 0;
    // Discards every waiting byte; does nothing while the line is closed.
    virtual void clearInBuffer() = 0;

    // The number and the explanation of the last failed operation.
    virtual int errorNumber() const = 0;
    virtual QString errorDetail() const = 0;

    // The other programs that have the open line's device open, as "name (process N)": one that
    // reads it takes the replies. Empty when none are known.
    virtual QStringList otherHolders() const { return {}; }

signals:
    void received();
    // The line failed while open (device removed, far end hung up).
    void lineLost();
};

// Opens port `comPort` as the validator's line: its settings, with DTR and RTS on. False, with
// the line's error number and detail set, when it cannot be opened.
inline bool openValidatorLine(SerialLine *line, int comPort)
{
    if (!line->setCommPort(comPort) || !line->setSettings(validatorLineSettings()))
        return false;
    line->setDtrEnable(true);
    line->setRtsEnable(true);
    return line->open();
}
