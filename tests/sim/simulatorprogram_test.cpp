// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/frames.h"
#include "tests/support/programrunner.h"
#include "tests/support/simulatedvalidator.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using Frames::command;
using Frames::hex;

namespace {

class Sim : public ProgramRunner
{
public:
    explicit Sim(const QStringList &arguments)
        : ProgramRunner(QStringLiteral(SIM_PATH), arguments)
    { }

    QByteArray exchange(const QByteArray &frame)
    {
        host.write(frame);
        return readAtLeast(host, 11);
    }

    QSerialPort host;
};

void writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// Ended by a signal or by a console command, the simulator removes the link it made.
TEST(SimulatorProgram, TheComLinkLeadsToThePtyAndGoesAtExit)
{
    for (const auto &[signal, command] :
         {std::pair{SIGTERM, ""}, {SIGINT, ""}, {0, "quit\n"}, {0, "hangup\n"}}) {
        SCOPED_TRACE(signal ? std::to_string(signal) : command);
        QTemporaryDir data;
        Sim sim({"--com", "5", "--fast", "--data-folder", data.path()});
        EXPECT_EQ(comPortDevice(5, data.path()), sim.nextLine());
        ASSERT_TRUE(openHost(sim.host, comPortDevice(5, data.path())));
        EXPECT_EQ(sim.exchange(Frames::command(0x10)), hex("02 0B 20 01 00 01 00 00 00 03 2B"));
        if (signal)
            ::kill(pid_t(sim.process.processId()), signal);
        else
            sim.process.write(command);
        EXPECT_EQ(sim.finish(), 0);
        EXPECT_FALSE(QFileInfo(comPortLink(5, data.path())).isSymLink());
    }
}

TEST(SimulatorProgram, TakesOnlyTheLinkOfASimulatorThatHasEnded)
{
    QTemporaryDir data;
    ASSERT_TRUE(QDir(data.path()).mkdir(QStringLiteral("ports")));
    const QStringList com2 = {"--com", "2", "--data-folder", data.path()};
    {
        Sim killed(com2);
        killed.nextLine();
        ::kill(pid_t(killed.process.processId()), SIGKILL);
        killed.finish();
    }
    ASSERT_TRUE(QFileInfo(comPortLink(2, data.path())).isSymLink()) << "left behind";
    Sim running(com2);
    const QString pty = running.nextLine();
    EXPECT_EQ(comPortDevice(2, data.path()), pty);

    // A second simulator on the same number, a user's link to a device, a user's file.
    ASSERT_TRUE(QFile::link("/dev/ttyUSB0", comPortLink(3, data.path())));
    writeFile(comPortLink(4, data.path()), {});
    for (const char *number : {"2", "3", "4"}) {
        Sim refused({"--com", number, "--data-folder", data.path()});
        EXPECT_EQ(refused.finish(), 1) << number;
        EXPECT_TRUE(refused.err.contains("ports/com")) << number;
    }
    EXPECT_EQ(comPortDevice(2, data.path()), pty);
    EXPECT_EQ(comPortDevice(3, data.path()), "/dev/ttyUSB0");
    EXPECT_TRUE(QFileInfo(comPortLink(4, data.path())).isFile());

    // Pointed elsewhere by the user meanwhile, the link is no longer the simulator's to remove.
    ASSERT_TRUE(QFile::remove(comPortLink(2, data.path())));
    ASSERT_TRUE(QFile::link("/dev/ttyUSB1", comPortLink(2, data.path())));
    running.process.write("quit\n");
    EXPECT_EQ(running.finish(), 0);
    EXPECT_EQ(comPortDevice(2, data.path()), "/dev/ttyUSB1");
}

TEST(SimulatorProgram, ATesterKilledWithTheLineOpenDoesNotStopTheNextOne)
{
    Sim sim({"--pty", "--fast"});
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

    EXPECT_TRUE(QTest::qWaitFor([&] { return openHost(sim.host, path); }, ProgramRunner::patience))
            << qPrintable(sim.host.errorString());
    EXPECT_EQ(sim.exchange(command(0x10)), hex("02 0B 20 01 00 01 00 00 00 03 2B"));
}

TEST(SimulatorProgram, AScriptRunsAndCanEndTheProgram)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("run.txt"), "insert 4\nwait 30\nstatus\nquit\nstatus\n");
    Sim sim({"--pty", "--script", dir.filePath("run.txt")});
    sim.nextLine();
    EXPECT_EQ(sim.nextLine(), "commands 0 replies 0 stacked 0 returned 0");
    EXPECT_EQ(sim.finish(), 0);
    EXPECT_TRUE(sim.out.isEmpty()) << "nothing after quit";
}

TEST(SimulatorProgram, TheHelpGivesTheExitStatuses)
{
    for (const char *option : {"--help", "--help-all"}) {
        Sim sim({option});
        EXPECT_EQ(sim.finish(), 0) << option;
        EXPECT_TRUE(sim.out.contains("\nExit status: 0 ended by quit, hangup or a signal, 1 the "
                                     "line, its link, the script or the record failed, 3 the "
                                     "command line is wrong.\n"))
                << qPrintable(sim.out);
    }
}

// A wrong command line ends with status 3 and the way to the help; a line, link, script or
// record that cannot be used, with status 1.
TEST(SimulatorProgram, BadOptionsEndWithAReason)
{
    QTemporaryDir dir;
    writeFile(dir.filePath("notes.txt"), "Polled every 100 ms at the bench in Lyon\n");
    writeFile(dir.filePath("comments.txt"), "# the bench in Lyon\n\n");
    writeFile(dir.filePath("plain"), {});
    const QString pipe = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe), 0600), 0);
    const struct
    {
        QStringList arguments;
        int exitCode;
        QString error;
    } cases[] = {
            {{}, 3, "give one of --pty, --com N or --device PATH"},
            {{"--pty", "--com", "3"}, 3, "give one of"},
            {{"--pty", "--bogus"}, 3, "Unknown option 'bogus'."},
            {{"--pty", "stray"}, 3, "\"stray\" is not an option"},
            {{"--com", "0"}, 3, "--com needs a port number from 1 to 32767"},
            {{"--com", "x"}, 3, "--com needs"},
            {{"--com", "1.0"}, 3, "--com needs"},
            {{"--com", "32768"}, 3, "--com needs"},
            {{"--pty", "--auto", "0"}, 3, "--auto needs a number of seconds from 0.001 to 86400"},
            {{"--pty", "--auto", "soon"}, 3, "--auto needs"},
            {{"--pty", "--auto", "1,5"}, 3, "--auto needs"},
            {{"--pty", "--seed", "-1"}, 3, "--seed needs a whole number from 0 to 4294967295"},
            {{"--pty", "--seed", "4294967296"}, 3, "--seed needs"},
            {{"--pty", "--seed", "1.000"}, 3, "--seed needs"},
            {{"--pty", "--misbehave", "sometimes"}, 3, "--misbehave takes one of: "},
            {{"--com", "3", "--data-folder", "/nonexistent/data"},
             3,
             "--data-folder: /nonexistent/data does not exist"},
            {{"--com", "3", "--data-folder", dir.filePath("plain")}, 3, "plain is not a folder"},
            {{"--pty", "--replay", dir.filePath("notes.txt"), "--script", dir.filePath("s")},
             3,
             "--replay plays the record alone"},
            {{"--pty", "--script", "/nonexistent/script"}, 1, "/nonexistent/script"},
            {{"--device", "/nonexistent/tty"}, 1, "/nonexistent/tty"},
            {{"--pty", "--replay", dir.filePath("notes.txt")},
             1,
             "notes.txt: line 1 is not a line of a traffic record"},
            {{"--pty", "--replay", dir.filePath("comments.txt")},
             1,
             "comments.txt: no exchange to replay"},
            {{"--pty", "--replay", pipe}, 1, "pipe: not a regular file but a named pipe"},
            {{"--pty", "--replay", "/dev/zero"}, 1, "/dev/zero: not a regular file but a device"}};
    const QString hint = "\nTry 'brisvel-validator-sim --help' for more information.\n";
    for (const auto &c : cases) {
        SCOPED_TRACE(qPrintable(c.arguments.join(' ')));
        Sim sim(c.arguments);
        EXPECT_EQ(sim.finish(), c.exitCode);
        EXPECT_TRUE(sim.err.startsWith("brisvel-validator-sim: ")) << qPrintable(sim.err);
        EXPECT_TRUE(sim.err.contains(c.error)) << qPrintable(sim.err);
        EXPECT_EQ(sim.err.endsWith(hint), c.exitCode == 3) << qPrintable(sim.err);
    }
}

} // namespace
