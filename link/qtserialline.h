// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/portdiagnosis.h"
#include "link/serialline.h"

#include <QSerialPort>

#include <optional>

// What a settings text such as "9600, E, 7, 1" asks of the port.
struct LineSettings
{
    qint32 baud = 0;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    bool operator==(const LineSettings &) const = default;
};

// nullopt when the text is not line settings.
std::optional<LineSettings> parseLineSettings(const QString &text);

// The serial line on a real port. Port numbers resolve to devices through the data folder's
// ports/ links (see comport.h).
class QtSerialLine : public SerialLine
{
    Q_OBJECT

public:
    explicit QtSerialLine(const QString &dataFolder, QObject *parent = nullptr);

    bool isOpen() const override;
    void close() override;
    bool setCommPort(int number) override;
    bool setSettings(const QString &settings) override;
    void setDtrEnable(bool on) override;
    void setRtsEnable(bool on) override;
    bool open() override;
    bool write(const QByteArray &bytes) override;
    qint64 inBufferCount() const override;
    QByteArray input() override;
    void clearInBuffer() override;
    int errorNumber() const override;
    QString errorDetail() const override;
    QStringList otherHolders() const override;

    QString device() const { return devicePath; }

private:
    void fail(int number, const QString &reason);
    void failToOpen(QSerialPort::SerialPortError error, const QString &reason,
                    const DeviceStatus &status);
    void handleError(QSerialPort::SerialPortError error);

    QString folder;
    int comNumber = 0;
    QString devicePath;
    QSerialPort port;
    bool dtr = false;
    bool rts = false;
    int lastError = 0;
    QString lastDetail;
};
