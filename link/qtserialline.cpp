// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/qtserialline.h"

#include "link/comport.h"
#include "link/portinspection.h"

#include <QFileInfo>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

// Bytes that arrived at the device and that the port has not taken in yet: the port takes them
// when the event loop turns, which may be after a poll tick that is due at the same moment.
qint64 waitingInSystem(qintptr handle)
{
#ifdef Q_OS_UNIX
    int count = 0;
    return handle >= 0 && ioctl(int(handle), FIONREAD, &count) == 0 ? count : 0;
#else
    Q_UNUSED(handle);
    return 0;
#endif
}

QByteArray readFromSystem(qintptr handle, qint64 count)
{
    QByteArray bytes(count, Qt::Uninitialized);
#ifdef Q_OS_UNIX
    const ssize_t read = ::read(int(handle), bytes.data(), size_t(count));
    bytes.truncate(read > 0 ? qsizetype(read) : 0);
#else
    Q_UNUSED(handle);
    bytes.clear();
#endif
    return bytes;
}

} // namespace

QtSerialLine::QtSerialLine(const QString &dataFolder, QObject *parent)
    : SerialLine(parent)
    , folder(dataFolder)
{
    connect(&port, &QSerialPort::readyRead, this, &SerialLine::received);
    connect(&port, &QSerialPort::errorOccurred, this, &QtSerialLine::handleError);
}

bool QtSerialLine::isOpen() const
{
    return port.isOpen();
}

void QtSerialLine::close()
{
    if (port.isOpen())
        port.close();
}

bool QtSerialLine::setCommPort(int number)
{
    const QString device = comPortDevice(number, folder);
    if (device.isEmpty()) {
        fail(QSerialPort::DeviceNotFoundError,
             QStringLiteral("COM%1 is not a port number.").arg(number));
        return false;
    }
    comNumber = number;
    devicePath = device;
    port.setPortName(device);
    return true;
}

std::optional<LineSettings> parseLineSettings(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    bool baudOk = false;
    const int baud = parts.value(0).trimmed().toInt(&baudOk);
    const QString parity = parts.value(1).trimmed().toUpper();
    const QString dataBits = parts.value(2).trimmed();
    const QString stopBits = parts.value(3).trimmed();
    static const QStringList parities{"N", "E", "O"};
    if (parts.size() != 4 || !baudOk || baud <= 0 || !parities.contains(parity)
        || dataBits < QLatin1String("5") || dataBits > QLatin1String("8") || dataBits.size() != 1
        || (stopBits != QLatin1String("1") && stopBits != QLatin1String("2")))
        return std::nullopt;
    return LineSettings{baud,
                        parity == QLatin1String("E")   ? QSerialPort::EvenParity
                        : parity == QLatin1String("O") ? QSerialPort::OddParity
                                                       : QSerialPort::NoParity,
                        QSerialPort::DataBits(dataBits.toInt()),
                        stopBits == QLatin1String("2") ? QSerialPort::TwoStop
                                                       : QSerialPort::OneStop};
}

bool QtSerialLine::setSettings(const QString &settings)
{
    const std::optional<LineSettings> parsed = parseLineSettings(settings);
    if (!parsed) {
        fail(QSerialPort::UnsupportedOperationError,
             QStringLiteral("\"%1\" are not line settings.").arg(settings));
        return false;
    }
    port.setBaudRate(parsed->baud);
    port.setParity(parsed->parity);
    port.setDataBits(parsed->dataBits);
    port.setStopBits(parsed->stopBits);
    return true;
}

void QtSerialLine::setDtrEnable(bool on)
{
    dtr = on;
}

void QtSerialLine::setRtsEnable(bool on)
{
    rts = on;
}

bool QtSerialLine::open()
{
    // A device known to be no serial line is not even opened: setting up a terminal as a line
    // already changes it, and the program's own terminal would take the frames.
    const DeviceStatus status = inspectDevice(devicePath);
    const QString refusal = openRefusal(status);
    if (!refusal.isEmpty()) {
        failToOpen(QSerialPort::UnsupportedOperationError, refusal, status);
        return false;
    }
    if (!port.open(QIODevice::ReadWrite)) {
        failToOpen(port.error(), port.errorString(), status);
        return false;
    }
    // Modem-control lines can only be switched on an open port. Lines without them (a
    // pseudo-terminal, some adapters) report the request as unsupported and are used as they are.
    port.setDataTerminalReady(dtr);
    port.setRequestToSend(rts);
    port.clearError();
    return true;
}

bool QtSerialLine::write(const QByteArray &bytes)
{
    if (!port.isOpen() || port.write(bytes) != bytes.size()) {
        fail(QSerialPort::WriteError, port.errorString());
        return false;
    }
    // On the line now, rather than when the event loop next turns, after the window has drawn
    // the frame: the poll period does not depend on drawing.
    port.flush();
    return true;
}

qint64 QtSerialLine::inBufferCount() const
{
    return port.bytesAvailable() + (port.isOpen() ? waitingInSystem(port.handle()) : 0);
}

QByteArray QtSerialLine::input()
{
    // What the port holds came first.
    QByteArray bytes = port.readAll();
    if (const qint64 waiting = port.isOpen() ? waitingInSystem(port.handle()) : 0; waiting > 0)
        bytes += readFromSystem(port.handle(), waiting);
    return bytes;
}

void QtSerialLine::clearInBuffer()
{
    if (port.isOpen())
        port.clear(QSerialPort::Input);
}

int QtSerialLine::errorNumber() const
{
    return lastError;
}

QString QtSerialLine::errorDetail() const
{
    return lastDetail;
}

void QtSerialLine::fail(int number, const QString &reason)
{
    lastError = number;
    lastDetail = QStringLiteral("Device: %1\nReason: %2").arg(devicePath, reason);
}

QStringList QtSerialLine::otherHolders() const
{
    return port.isOpen() ? deviceHolders(devicePath) : QStringList();
}

void QtSerialLine::failToOpen(QSerialPort::SerialPortError error, const QString &reason,
                              const DeviceStatus &status)
{
    PortFailure failure;
    failure.comNumber = comNumber;
    failure.device = devicePath;
#ifndef Q_OS_WIN
    failure.link = comPortLink(comNumber, folder);
    failure.linked = QFileInfo(failure.link).isSymLink();
#endif
    failure.error = error;
    failure.reason = reason;
    failure.status = status;
    failure.user = inspectUser();
    if (failure.error == QSerialPort::PermissionError)
        failure.holders = deviceHolders(devicePath);
    lastError = failure.error;
    lastDetail = portDiagnosis(failure);
}

void QtSerialLine::handleError(QSerialPort::SerialPortError error)
{
    if (!port.isOpen())
        return;
    const bool lost = error == QSerialPort::ResourceError || error == QSerialPort::ReadError
                      || error == QSerialPort::WriteError;
    if (!lost)
        return;
    // A read that returns no bytes can leave a stale error number behind on a healthy line:
    // the line counts as lost only when a write failed or its device is gone.
    const bool gone = error == QSerialPort::WriteError || !QFileInfo::exists(devicePath);
    const QString reason = port.errorString();
    port.clearError();
    if (!gone) {
        // Qt stops watching the line for input after a resource error; setting the read
        // buffer's size, even unchanged, starts the watch again.
        port.setReadBufferSize(port.readBufferSize());
        return;
    }
    fail(error, reason);
    emit lineLost();
}
