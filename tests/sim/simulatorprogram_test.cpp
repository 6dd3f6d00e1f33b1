#include "comport.h"
#include "testframes.h"

#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using TestFrames::command;

namespace {

constexpr int patience = 10000; // ms

// The simulator program, started as the tester's partner would start it.
class SimProcess
{
public:
    explicit SimProcess(const QStringList &arguments)
    {
        process.start(QStringLiteral(SIM_PATH), arguments);
    }
    ~SimProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            QSignalSpy(&process, &QProcess::finished).wait(patience);
        }
    }

    // The next line of standard output, empty when none came.
    QString nextLine()
    {
        if (!QTest::qWaitFor([&] { return process.canReadLine(); }, patience))
            ADD_FAILURE() << "no line on standard output";
        return QString::fromLocal8Bit(process.readLine()).trimmed();
    }

    bool openHost(const QString &path)
    {
        host.setPortName(path);
        host.setBaudRate(QSerialPort::Baud9600);
        host.setParity(QSerialPort::EvenParity);
        host.setDataBits(QSerialPort::Data7);
        return host.open(QIODevice::ReadWrite);
    }

    QByteArray exchange(const QByteArray &frame)
    {
        host.write(frame);
        QByteArray reply;
        const bool arrived = QTest::qWaitFor(
                [&] {
                    reply += host.readAll();
                    return reply.size() >= 11;
                },
                patience);
        if (!arrived)
            ADD_FAILURE() << "no reply to " << frame.toHex(' ').constData();
        return reply;
    }

    // Runs a console command and waits until the simulator has done it.
    QString consoleCommand(const QString &line)
    {
        process.write((line + QStringLiteral("\nstatus\n")).toLocal8Bit());
        return nextLine();
    }

    bool finishes()
    {
        return process.state() == QProcess::NotRunning
               || QSignalSpy(&process, &QProcess::finished).wait(patience);
    }

    QProcess process;
    QSerialPort host;
};

TEST(SimulatorProgram, WalksANoteThroughEscrowOverAPseudoTerminal)
{
    SimProcess sim({QStringLiteral("--pty"), QStringLiteral("--fast")});
    const QString path = sim.nextLine();
    ASSERT_TRUE(path.startsWith(QLatin1String("/dev/"))) << qPrintable(path);
    ASSERT_TRUE(sim.openHost(path)) << qPrintable(sim.host.errorString());

    const QByteArray first = sim.exchange(QByteArray::fromHex("0208107F10000377"));
    ASSERT_EQ(first.size(), 11);
    EXPECT_EQ(first.left(3), QByteArray::fromHex("020B20"));
    EXPECT_EQ(quint8(first[10]), TestFrames::xorOfBytes1To8(first));
    EXPECT_EQ(quint8(first[5]) & 0x01, 0x01) << "power up";

    EXPECT_EQ(sim.consoleCommand(QStringLiteral("insert 3")),
              QStringLiteral("commands 1 replies 1 stacked 0 returned 0"));
    struct Step
    {
        int data1;
        int data0Expected;
    };
    int ack = 0;
    for (const Step step :
         {Step{0x10, 0x02}, {0x10, 0x02}, {0x10, 0x04}, {0x30, 0x08}, {0x10, 0x11}}) {
        const QByteArray reply = sim.exchange(command(ack ^= 1, 0x7F, step.data1));
        ASSERT_EQ(reply.size(), 11);
        EXPECT_EQ(quint8(reply[2]), 0x20 | ack);
        EXPECT_EQ(quint8(reply[3]), step.data0Expected);
        EXPECT_EQ(quint8(reply[5]), 3 << 3);
        EXPECT_EQ(quint8(reply[10]), TestFrames::xorOfBytes1To8(reply));
    }
    EXPECT_EQ(sim.consoleCommand(QString()),
              QStringLiteral("commands 6 replies 6 stacked 1 returned 0"));
}

TEST(SimulatorProgram, VerboseLogsEveryFrameAndErrorsOnStandardError)
{
    SimProcess sim({QStringLiteral("--pty"), QStringLiteral("--fast"), QStringLiteral("--verbose")});
    ASSERT_TRUE(sim.openHost(sim.nextLine()));
    sim.exchange(QByteArray::fromHex("55") + command(0));
    sim.process.write("bogus\n");
    const QStringList expected = {"<- 55 (ignored)", "<- 02 08 10 7F 10 00 03 77",
                                  "-> 02 0B 20 01 00 01 00 00 00 03 2B", "unknown command: bogus"};
    QString log;
    const bool complete = QTest::qWaitFor(
            [&] {
                log += QString::fromLocal8Bit(sim.process.readAllStandardError());
                return std::all_of(expected.begin(), expected.end(),
                                   [&](const QString &line) { return log.contains(line); });
            },
            patience);
    EXPECT_TRUE(complete) << qPrintable(log);
}

struct Ending
{
    const char *name;
    int signal; // 0: by console command
    const char *command;
};

void PrintTo(const Ending &param, std::ostream *out)
{
    *out << param.name;
}

class ComLinkEndings : public testing::TestWithParam<Ending>
{ };

TEST_P(ComLinkEndings, TheComLinkLeadsToThePtyAndGoesAtExit)
{
    const Ending &ending = GetParam();
    QTemporaryDir data;
    SimProcess sim({QStringLiteral("--com"), QStringLiteral("5"), QStringLiteral("--fast"),
                    QStringLiteral("--data-folder"), data.path()});
    const QString path = sim.nextLine();
    ASSERT_FALSE(path.isEmpty());
    EXPECT_EQ(comPortDevice(5, data.path()), path);
    ASSERT_TRUE(sim.openHost(comPortDevice(5, data.path())));
    EXPECT_EQ(sim.exchange(command(0)), TestFrames::powerUpReply());

    if (ending.signal)
        ::kill(pid_t(sim.process.processId()), ending.signal);
    else
        sim.process.write(ending.command);
    ASSERT_TRUE(sim.finishes());
    EXPECT_EQ(sim.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.process.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(comPortLink(5, data.path())).isSymLink());
}

INSTANTIATE_TEST_SUITE_P(
        SimulatorProgram, ComLinkEndings,
        testing::Values(Ending{"Sigterm", SIGTERM, nullptr}, Ending{"Sigint", SIGINT, nullptr},
                        Ending{"Quit", 0, "quit\n"}, Ending{"Hangup", 0, "hangup\n"}),
        [](const testing::TestParamInfo<Ending> &info) { return info.param.name; });

TEST(SimulatorProgram, TakesOnlyTheLinkOfASimulatorThatHasEnded)
{
    QTemporaryDir data;
    ASSERT_TRUE(QDir(data.path()).mkdir(QStringLiteral("ports")));
    const QStringList com2 = {"--com", "2", "--data-folder", data.path()};
    {
        SimProcess killed(com2);
        killed.nextLine();
        ::kill(pid_t(killed.process.processId()), SIGKILL);
        ASSERT_TRUE(killed.finishes());
    }
    ASSERT_TRUE(QFileInfo(comPortLink(2, data.path())).isSymLink()) << "left behind";
    SimProcess running(com2);
    const QString pty = running.nextLine();
    EXPECT_EQ(comPortDevice(2, data.path()), pty);

    // A second simulator on the same number, a user's link to a device, a user's file.
    ASSERT_TRUE(QFile::link("/dev/ttyUSB0", comPortLink(3, data.path())));
    ASSERT_TRUE(QFile(comPortLink(4, data.path())).open(QIODevice::WriteOnly));
    for (const char *number : {"2", "3", "4"}) {
        SimProcess refused({"--com", number, "--data-folder", data.path()});
        ASSERT_TRUE(refused.finishes());
        EXPECT_EQ(refused.process.exitCode(), 1) << number;
        EXPECT_TRUE(refused.process.readAllStandardOutput().isEmpty()) << number;
        EXPECT_TRUE(refused.process.readAllStandardError().contains("ports/com")) << number;
    }
    EXPECT_EQ(comPortDevice(2, data.path()), pty);
    EXPECT_EQ(comPortDevice(3, data.path()), "/dev/ttyUSB0");
    EXPECT_TRUE(QFileInfo(comPortLink(4, data.path())).isFile());

    // Pointed elsewhere by the user meanwhile, the link is no longer the simulator's to remove.
    ASSERT_TRUE(QFile::remove(comPortLink(2, data.path())));
    ASSERT_TRUE(QFile::link("/dev/ttyUSB1", comPortLink(2, data.path())));
    running.process.write("quit\n");
    ASSERT_TRUE(running.finishes());
    EXPECT_EQ(comPortDevice(2, data.path()), "/dev/ttyUSB1");
}

TEST(SimulatorProgram, ATesterKilledWithTheLineOpenDoesNotStopTheNextOne)
{
    SimProcess sim({QStringLiteral("--pty"), QStringLiteral("--fast")});
    const QString path = sim.nextLine();
    // What a tester killed while polling leaves: its line settings and its exclusive use.
    const int killed = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(killed, 0);
    termios settings{};
    ASSERT_EQ(::tcgetattr(killed, &settings), 0);
    settings.c_iflag = IGNPAR;
    settings.c_cflag = B9600 | CS7 | PARENB | CREAD | CLOCAL;
    ASSERT_EQ(::tcsetattr(killed, TCSANOW, &settings), 0);
    ASSERT_EQ(::ioctl(killed, TIOCEXCL), 0);
    ::close(killed);

    EXPECT_TRUE(QTest::qWaitFor([&] { return sim.openHost(path); }, patience))
            << qPrintable(sim.host.errorString());
    EXPECT_EQ(sim.exchange(command(0)), TestFrames::powerUpReply());
}

TEST(SimulatorProgram, AScriptRunsAndCanEndTheProgram)
{
    QTemporaryDir dir;
    QFile script(dir.filePath(QStringLiteral("run.txt")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("insert 4\nwait 30\nstatus\nquit\nstatus\n");
    script.close();
    SimProcess sim({QStringLiteral("--pty"), QStringLiteral("--script"), script.fileName()});
    sim.nextLine();
    EXPECT_EQ(sim.nextLine(), QStringLiteral("commands 0 replies 0 stacked 0 returned 0"));
    ASSERT_TRUE(sim.finishes());
    EXPECT_EQ(sim.process.exitCode(), 0);
    EXPECT_TRUE(sim.process.readAllStandardOutput().isEmpty()) << "nothing after quit";
}

TEST(SimulatorProgram, HelpListsEveryOptionAndCommand)
{
    SimProcess sim({QStringLiteral("--help")});
    ASSERT_TRUE(sim.finishes());
    const QString help = QString::fromLocal8Bit(sim.process.readAllStandardOutput());
    for (const char *word : {"--pty", "--com", "--device", "--data-folder", "--script", "--auto",
                             "--seed", "--fast", "--verbose", "insert N", "hangup", "late", "wait"})
        EXPECT_TRUE(help.contains(QLatin1String(word))) << word;
}

TEST(SimulatorProgram, BadOptionsEndWithAnError)
{
    const QStringList cases[] = {
            {},
            {"--pty", "--com", "3"},
            {"--com", "0"},
            {"--com", "x"},
            {"--pty", "--auto", "0"},
            {"--pty", "--auto", "soon"},
            {"--pty", "--seed", "-1"},
            {"--pty", "--script", "/nonexistent/script"},
            {"--device", "/nonexistent/tty"},
            {"--com", "3", "--data-folder", "/nonexistent/data"},
    };
    for (const QStringList &arguments : cases) {
        SimProcess sim(arguments);
        ASSERT_TRUE(sim.finishes()) << qPrintable(arguments.join(' '));
        EXPECT_EQ(sim.process.exitCode(), 1) << qPrintable(arguments.join(' '));
        EXPECT_FALSE(sim.process.readAllStandardError().isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists("/nonexistent"));
}

} // namespace
