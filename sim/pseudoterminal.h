// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIODevice>

#ifdef Q_OS_UNIX
#include <termios.h>
#endif

class QSocketNotifier;

// The master side of a pseudo-terminal pair in raw mode, as a sequential device. The tester
// opens the slave side as if it were a serial port. Available on POSIX systems only. On Linux,
// each time a program closes the slave side, the line is put back as it was made: a tester
// killed while it had the line open cannot leave its settings behind for the next one.
class PseudoTerminal : public QIODevice
{
    Q_OBJECT

public:
    explicit PseudoTerminal(QObject *parent = nullptr);
    ~PseudoTerminal() override;

    // Creates the pair and opens the master side for reading and writing.
    bool openPair();
    // The path of the slave side, for the tester to open.
    QString slaveName() const { return slavePath; }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;
    void close() override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool fail(const char *step);
    void readMaster();
    void writeMaster();
    void restoreLine();

    int master = -1;
    // Kept open so that the master never sees a hang-up while no tester has the slave open.
    int slave = -1;
    QString slavePath;
#ifdef Q_OS_UNIX
    termios madeSettings{}; // the line's settings as the pair was made
#endif
    int closeWatch = -1; // reports each close of the slave side
    QSocketNotifier *closeNotifier = nullptr;
    QSocketNotifier *readNotifier = nullptr;
    QSocketNotifier *writeNotifier = nullptr;
    QByteArray incoming;
    QByteArray outgoing;
};
