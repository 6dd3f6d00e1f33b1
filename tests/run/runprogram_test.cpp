// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/portinspection.h"
#include "settings/file/setupfile.h"
#include "tests/support/printers.h"
#include "tests/support/programrunner.h"
#include "tests/support/simulatedvalidator.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

// brisvel-run as a test rig starts it, against the simulated validator in this process.
namespace {

class RunProgram : public ProgramRunner
{
public:
    RunProgram(const QString &folder, QStringList arguments,
               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
               const std::function<void(QProcess &)> &prepare = {})
        : ProgramRunner(QStringLiteral(RUN_PATH), arguments << "--data-folder" << folder,
                        environment, prepare)
    { }

    QStringList lines() const { return out.split('\n', Qt::SkipEmptyParts); }
    QJsonObject summary() const
    {
        return QJsonDocument::fromJson(out.trimmed().section('\n', -1).toUtf8()).object();
    }
};

// What ends the message of a wrong command line.
const QString hint = "\nTry 'brisvel-run --help' for more information.\n";

class RunProgramTest : public testing::Test
{
protected:
    void SetUp() override
    {
        // COM9 names a device that is not there.
        ASSERT_TRUE(QFile::link(dir.filePath("gone"), comPortLink(9, dir.path())));
    }

    QTemporaryDir dir;
    SimulatedValidator validator{dir.path(), 1};
};

// The exit code tells how the run went; a refused command line (3) runs nothing. Generous
// intervals: a run by polls ends with the last reply, not with an interval.
TEST_F(RunProgramTest, ExitCodesTellHowTheRunWent)
{
    const struct
    {
        QStringList arguments;
        bool dropFirstReply;
        int exitCode;
        const char *error; // a part of standard error
        const char *output; // a part of standard output
    } cases[] = {
            {{"--com", "1", "--polls", "2", "--interval", "500"}, false, 0, "", "Frames sent"},
            {{"--com", "1", "--polls", "2", "--interval", "500"}, true, 1, "", "Frames sent"},
            {{"--com", "9", "--polls", "2"}, false, 2, "does not exist", "Frames sent"},
            {{"--com", "9", "--json"}, false, 2, "", "\"error\":\"Communication Port Error (#:"},
            {{"--com", "1", "--mode", "sideways"}, false, 3, "--mode", ""},
            {{"--com", "1", "--fast"}, false, 3, "Unknown option", ""},
            {{"--com", "1", "--report", "/no/such/r.txt"}, false, 3, "cannot write the report", ""},
            {{"--com", "1", "--conformance", "--polls", "2"}, false, 3, "--conformance", ""}};
    for (const auto &c : cases) {
        SCOPED_TRACE(qPrintable(c.arguments.join(' ')));
        if (c.dropFirstReply)
            validator.line.inject(ValidatorLine::Fault::Drop);
        RunProgram run(dir.path(), c.arguments);
        EXPECT_EQ(run.finish(), c.exitCode) << qPrintable(run.err);
        EXPECT_TRUE(run.err.contains(c.error)) << qPrintable(run.err);
        EXPECT_TRUE(run.out.contains(c.output)) << qPrintable(run.out);
        EXPECT_EQ(run.out.isEmpty(), c.exitCode == 3) << qPrintable(run.out);
        EXPECT_EQ(run.err.endsWith(hint), c.exitCode == 3) << qPrintable(run.err);
    }
}

// SETUP.INI's and the command line's numbers read alike whatever the locale of the run.
TEST_F(RunProgramTest, TheSettingsFileAndTheCommandLineMeanTheSameInEveryLocale)
{
    SetupSettings settings;
    settings.pollRate = "250";
    settings.channelValues = {"1.000", "3,5", "1000", "10", "20", "50", "2.5"};
    QString saveError;
    ASSERT_TRUE(saveSetupFile(setupFilePath(dir.path()), settings, &saveError));
    for (const char *locale : {"C", "de_DE.UTF-8", "en_US.UTF-8"}) {
        SCOPED_TRACE(locale);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LC_ALL", locale);
        RunProgram run(dir.path(), {"--com", "1", "--polls", "1", "--json"}, environment);
        ASSERT_EQ(run.finish(), 0) << qPrintable(run.err);
        QStringList values;
        for (const QJsonValue &channel : run.summary()["tally"].toArray())
            values << QString::number(channel.toObject()["value"].toInt());
        EXPECT_EQ(values.join(' '), "1 2 1000 10 20 50 2");
        EXPECT_EQ(run.summary()["interval"].toInt(), 250);
        for (const char *interval : {"1.500", "1,500"}) {
            RunProgram refused(dir.path(), {"--com", "1", "--interval", interval}, environment);
            EXPECT_EQ(refused.finish(), 3) << interval;
            EXPECT_TRUE(refused.err.startsWith("brisvel-run: --interval needs a poll interval"))
                    << qPrintable(refused.err);
        }
    }
}

// Paths are what they say: the data folder must be one, and a report to a named pipe that nothing
// reads is refused rather than waited on. A pipe with a reader, standard output and a full disk
// are written as files are.
TEST_F(RunProgramTest, PathsAreWhatTheySay)
{
    const QString plain = dir.filePath("plain");
    const QString pipe = dir.filePath("pipe");
    ASSERT_TRUE(QFile(plain).open(QIODevice::WriteOnly));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe), 0600), 0);
    const struct
    {
        QString folder;
        QString report;
        bool readPipe;
        int exitCode;
        QString error; // all of standard error
    } cases[] = {{"/no/such/folder", "", false, 3,
                  "brisvel-run: --data-folder: /no/such/folder does not exist" + hint},
                 {plain, "", false, 3,
                  "brisvel-run: --data-folder: " + plain + " is not a folder" + hint},
                 {dir.path(), pipe, false, 3,
                  "brisvel-run: cannot write the report " + pipe
                          + ": a named pipe that no program reads" + hint},
                 {dir.path(), pipe, true, 0, ""},
                 {dir.path(), "/dev/stdout", false, 0, ""},
                 {dir.path(), "/dev/full", false, 4,
                  "brisvel-run: cannot write the report /dev/full: No space left on device\n"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(qPrintable(c.folder + " " + c.report));
        const int reader = c.readPipe ? ::open(QFile::encodeName(pipe), O_RDONLY | O_NONBLOCK) : -1;
        QStringList arguments{"--com", "1", "--polls", "1", "--interval", "100"};
        if (!c.report.isEmpty())
            arguments << "--report" << c.report;
        RunProgram run(c.folder, arguments);
        EXPECT_EQ(run.finish(), c.exitCode) << qPrintable(run.err);
        EXPECT_EQ(run.err, c.error);
        QByteArray report(4096, 0);
        if (reader >= 0) {
            report.truncate(qMax<qsizetype>(0, ::read(reader, report.data(), report.size())));
            ::close(reader);
        } else {
            report = run.out.toUtf8();
        }
        EXPECT_EQ(report.contains("\nResult: every frame was answered (exit status 0)\n"),
                  c.exitCode == 0)
                << report.constData();
    }
}

TEST_F(RunProgramTest, SummaryStatisticsAndReportOfABatchOfNotes)
{
    // Notes go in one after another as the validator gets ready: channels 6 and 7 are off, so
    // their notes are rejected, and both notes of channel 3 are stacked.
    QList<int> notes{3, 7, 3, 6};
    QObject::connect(&validator.line, &ValidatorLine::sent, &validator.line, [&] {
        if (!notes.isEmpty() && validator.engine.readyForNote())
            validator.engine.insertNote(notes.takeFirst());
    });
    const QString report = dir.filePath("report.txt");
    RunProgram run(dir.path(), {"--com", "1", "--polls", "24", "--interval", "200", "--channels",
                                "1111100", "--json", "--report", report});
    ASSERT_EQ(run.finish(), 0) << qPrintable(run.err);
    ASSERT_TRUE(notes.isEmpty());
    ASSERT_EQ(run.lines().size(), 25) << "a line a frame, then the summary";
    EXPECT_TRUE(run.lines()[0].startsWith(" 02 08 10 1F 10 00 03 17       02 0B 20 01"));

    const QJsonObject summary = run.summary();
    const std::pair<const char *, int> numbers[] = {
            {"com", 1},          {"interval", 200},      {"frames", 24},
            {"framesDue", 24},   {"replies", 24},        {"noResponses", 0},
            {"badChecksums", 0}, {"framingFailures", 0}, {"exitCode", 0}};
    for (const auto &[key, value] : numbers)
        EXPECT_EQ(summary[key].toInt(-1), value) << key;
    EXPECT_EQ(summary["mode"].toString(), "normal");
    EXPECT_FALSE(summary.contains("error"));
    EXPECT_EQ(summary["tally"].toArray()[6].toObject()["value"].toInt(), 100);
    EXPECT_EQ(summary["tally"].toArray()[2].toObject()["quantity"].toInt(), 2);
    const QJsonObject events = summary["events"].toObject();
    EXPECT_EQ(events["powerUp"].toInt(), 1);
    EXPECT_EQ(events["rejected"].toInt(), 2);
    EXPECT_EQ(events["stacked"].toInt(), 2);
    // accepting, escrowed, stacked, returned, rejected, per channel
    const QJsonArray perChannel = summary["notes"].toArray();
    ASSERT_EQ(perChannel.size(), 7);
    const int expected[7][5] = {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {2, 2, 2, 0, 0}, {0, 0, 0, 0, 0},
                                {0, 0, 0, 0, 0}, {1, 0, 0, 0, 1}, {1, 0, 0, 0, 1}};
    const char *keys[] = {"accepting", "escrowed", "stacked", "returned", "rejected"};
    for (int channel = 0; channel < 7; ++channel)
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(perChannel[channel].toObject()[keys[k]].toInt(-1), expected[channel][k])
                    << "channel " << channel + 1 << " " << keys[k];
    EXPECT_EQ(perChannel[2].toObject()["acceptanceRate"].toDouble(), 1.0);
    EXPECT_TRUE(perChannel[0].toObject()["acceptanceRate"].isNull());
    const QJsonObject latency = summary["latency"].toObject();
    EXPECT_EQ(latency["replies"].toInt(), 24);
    EXPECT_GE(latency["worst"].toInt(), latency["median"].toInt());

    QFile file(report);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    for (const char *line : {"Port      COM1\n", "Interval  200 ms\n", "Mode      normal\n",
                             "Channels  1111100 (values 1 2 5 10 20 50 100)\n", "Escrow    on\n",
                             "\n      3         5         2          10\n",
                             "\n      3          2         2         2         0         0   "
                             "100.0 %\n",
                             "\n      7          1         0         0         0         1     "
                             "0.0 %\n",
                             "\nResult: every frame was answered (exit status 0)\n"})
        EXPECT_TRUE(text.contains(line)) << line << "\nin:\n" << qPrintable(text);
    EXPECT_TRUE(text.contains(QRegularExpression("\nStarted   \\d{4}-.*\nEnded     \\d{4}-")));
}

// What the validator's line does to the third reply, and how the run books every byte of it: the
// third frame's record line, its remark, and the counts, alike in the JSON and the report.
TEST_F(RunProgramTest, EveryByteIsBookedToTheFrameItCameAfter)
{
    using Fault = ValidatorLine::Fault;
    const struct
    {
        const char *name;
        std::optional<Fault> fault; // none: the line is lost instead
        bool answered; // the third frame's line shows its reply
        const char *remark; // of the third frame's line
        int replies, framingFailures, extraReplies, strayBytes, exitCode;
    } cases[] = {
            {"cut", Fault::Cut, false, "bad frame: 02 0B 20 01 00 00 00 00", 5, 1, 0, 0, 1},
            {"double", Fault::Double, true, "", 6, 0, 1, 0, 0},
            {"glued bytes", Fault::Extra, true, "stray bytes: 00 7F", 6, 0, 0, 2, 0},
            {"echo", Fault::Echo, false, "bad frame: 02 08 10 7F 10 00 03 77", 5, 1, 0, 0, 1},
            {"prefixed", Fault::Garbage, false, "bad frame: 55 02 0B 20 01 00 00 00 00 00 03 2A", 5,
             1, 0, 0, 1},
            {"split", Fault::Split, true, "", 6, 0, 0, 0, 0},
            {"lost", {}, false, "port lost", 2, 0, 0, 0, 2},
    };
    const QString report = dir.filePath("report.txt");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedValidator peer(dir.path(), 1);
        QObject::connect(&peer.line, &ValidatorLine::received, &peer.line, [&] {
            if (peer.frames.size() + peer.junk.size() != 3)
                return;
            if (c.fault) {
                peer.line.inject(*c.fault);
                return;
            }
            peer.line.inject(Fault::Drop);
            peer.line.hangUp();
        });
        RunProgram run(dir.path(), {"--com", "1", "--polls", "6", "--interval", "200", "--json",
                                    "--report", report});
        EXPECT_EQ(run.finish(), c.exitCode) << qPrintable(run.err);
        const QStringList lines = run.lines();
        const QStringList sent = lines.filter(QRegularExpression("^ 02 08 "));
        ASSERT_GE(sent.size(), 3) << qPrintable(run.out);
        EXPECT_EQ(sent[2].section("  # ", 1), c.remark) << qPrintable(sent[2]);
        EXPECT_EQ(sent[2].contains("NO RESPONSE!"), !c.answered) << qPrintable(sent[2]);
        EXPECT_EQ(lines.filter("# second reply").size(), c.extraReplies);

        const QJsonObject summary = run.summary();
        const int frames = c.fault ? 6 : 3;
        const std::pair<const char *, int> counts[] = {{"frames", frames},
                                                       {"replies", c.replies},
                                                       {"noResponses", frames - c.replies},
                                                       {"framingFailures", c.framingFailures},
                                                       {"extraReplies", c.extraReplies},
                                                       {"strayBytes", c.strayBytes}};
        QFile file(report);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        const char *labels[] = {"Frames sent",      "Replies",       "No response",
                                "Framing failures", "Extra replies", "Stray bytes"};
        for (size_t i = 0; i < std::size(counts); ++i) {
            EXPECT_EQ(summary[counts[i].first].toInt(-1), counts[i].second) << counts[i].first;
            EXPECT_TRUE(text.contains(QStringLiteral("\n%1").arg(labels[i]).leftJustified(19)
                                      + QString::number(counts[i].second).rightJustified(8) + '\n'))
                    << labels[i] << "\n"
                    << qPrintable(text);
        }
        if (!c.fault) {
            EXPECT_EQ(summary["portLost"].toObject()["afterFrame"].toInt(), 3);
            EXPECT_TRUE(run.err.contains(", after frame 3.\n")) << qPrintable(run.err);
            EXPECT_TRUE(text.contains("\nResult: the port failed: The line was lost at "))
                    << qPrintable(text);
        }
    }
}

// Standard output is a pipe of one page: a reader that does not read yet, then one that reads
// a line and goes away. Neither holds up the polling; the report is written either way.
TEST_F(RunProgramTest, StandardOutputNeverHoldsUpThePolling)
{
    const QString report = dir.filePath("report.txt");
    const auto reportText = [&report] {
        QFile file(report);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    for (const bool readerGoes : {false, true}) {
        SCOPED_TRACE(readerGoes ? "the reader goes" : "the reader waits");
        QFile::remove(report);
        int pipe[2];
        ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
        ASSERT_EQ(::fcntl(pipe[1], F_SETPIPE_SZ, 4096), 4096);
        const int writeEnd = pipe[1];
        RunProgram run(dir.path(),
                       {"--com", "1", "--seconds", "4", "--interval", "100", "--report", report},
                       QProcessEnvironment::systemEnvironment(), [writeEnd](QProcess &process) {
                           process.setChildProcessModifier([writeEnd] { ::dup2(writeEnd, 1); });
                       });
        ::close(writeEnd);
        if (readerGoes) {
            // The simulated validator answers from this thread: the line is waited for in the
            // event loop.
            ::fcntl(pipe[0], F_SETFL, O_NONBLOCK);
            char byte = 0;
            EXPECT_TRUE(
                    QTest::qWaitFor([&] { return ::read(pipe[0], &byte, 1) == 1 && byte == '\n'; },
                                    ProgramRunner::patience));
            ::close(pipe[0]);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return reportText().contains("\nResult: "); },
                                    ProgramRunner::patience));
        const QString text = reportText();
        for (const char *line : {"\nFrames due              40\n", "\nFrames sent             40\n",
                                 "\nLines dropped            0\n",
                                 "\nResult: every frame was answered (exit status 0)\n"})
            EXPECT_TRUE(text.contains(line)) << line << qPrintable(text);
        QByteArray out;
        if (!readerGoes) {
            char bytes[4096];
            for (ssize_t n; (n = ::read(pipe[0], bytes, sizeof bytes)) > 0;)
                out.append(bytes, n);
            ::close(pipe[0]);
        }
        EXPECT_EQ(run.finish(), 0);
        if (!readerGoes) {
            EXPECT_EQ(out.count("\n 02 08 "), 39) << out.constData();
        }
    }
}

TEST_F(RunProgramTest, AnInterruptedRunEndsWithItsSummary)
{
    RunProgram run(dir.path(), {"--com", "1", "--interval", "100"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return run.process.canReadLine(); }, ProgramRunner::patience));
    run.process.terminate();
    EXPECT_GE(run.finish(), 0);
    EXPECT_TRUE(run.out.contains("Frames sent")) << qPrintable(run.out);
}

// A pseudo-terminal that nothing answers on: the validator's port, or the runner's terminal.
class Terminal
{
public:
    Terminal()
        : master(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        EXPECT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
        path = ptsname(master);
        // Held open here too, so that the terminal does not hang up when the runner ends.
        slave = ::open(path.constData(), O_RDWR | O_NOCTTY);
    }
    ~Terminal()
    {
        ::close(slave);
        ::close(master);
    }

    // What was written to the terminal.
    QByteArray written() const
    {
        char bytes[64];
        const ssize_t n = ::read(master, bytes, sizeof bytes);
        return n > 0 ? QByteArray(bytes, int(n)) : QByteArray();
    }

    int master;
    int slave = -1;
    QByteArray path;
};

#ifdef Q_OS_LINUX
// The runner started in a terminal of its own, with its standard streams elsewhere: COM1 linked
// to /dev/tty or to that terminal itself is refused before a byte is written to it.
TEST(RunInATerminal, ItsOwnTerminalIsRefusedAndNeverWritten)
{
    Terminal terminal;
    const QByteArray path = terminal.path;
    const auto inItsOwnSession = [&path](QProcess &process) {
        process.setChildProcessModifier([path] {
            ::setsid();
            ::ioctl(::open(path.constData(), O_RDWR), TIOCSCTTY, 0);
        });
    };
    for (const QString &target : {QStringLiteral("/dev/tty"), QString::fromLocal8Bit(path)}) {
        QTemporaryDir dir;
        ASSERT_TRUE(QDir(dir.path()).mkdir("ports")
                    && QFile::link(target, comPortLink(1, dir.path())));
        ProgramRunner run(QStringLiteral(RUN_PATH),
                          {"--com", "1", "--polls", "1", "--data-folder", dir.path()},
                          QProcessEnvironment::systemEnvironment(), inItsOwnSession);
        EXPECT_EQ(run.finish(), 2) << qPrintable(run.err);
        EXPECT_TRUE(run.err.contains("Device: " + target
                                     + "\nReason: Not opened: this program's own terminal\n"))
                << qPrintable(run.err);
        EXPECT_EQ(terminal.written(), QByteArray());
    }
}
#endif

// Another program reads the validator's port and takes the replies: the runner names it once
// three frames in a row got none, the third the run's last.
TEST(RunProgramOnASharedPort, OtherHoldersAreNamedWhenRepliesStop)
{
    Terminal port;
    ::close(std::exchange(port.slave, -1)); // cat holds it open, and is to be the only other
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("ports")
                && QFile::link(port.path, comPortLink(1, dir.path())));
    ProgramRunner reader(QStringLiteral("cat"), {port.path});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !deviceHolders(port.path).isEmpty(); },
                                ProgramRunner::patience));
    const QString cat = QStringLiteral("cat (process %1)").arg(reader.process.processId());
    RunProgram run(dir.path(), {"--com", "1", "--polls", "3", "--interval", "30", "--json"});
    EXPECT_EQ(run.finish(), 1);
    EXPECT_EQ(run.err, "brisvel-run: 3 frames in a row got no reply, and other programs have COM1 "
                       "open: " + cat
                               + ". A program that reads the port takes the validator's replies: "
                                 "close it.\n");
    EXPECT_EQ(run.summary()["holders"].toArray(), QJsonArray{cat});
}

// The simulator program, told to break one rule (or none), against a conformance session: the
// session fails that rule alone.
TEST(Conformance, FailsExactlyTheRuleTheSimulatorBreaks)
{
    for (const QString broken : {"", "framing", "acknowledgement", "repetition", "event-life",
                                 "invalid-command", "response-time", "note-paths"}) {
        SCOPED_TRACE(qPrintable(broken));
        QTemporaryDir dir;
        // Replies at once: a slow one, 40 ms late, stands out.
        QStringList arguments{"--com", "2", "--data-folder", dir.path(), "--fast", "--auto", "0.1"};
        if (!broken.isEmpty())
            arguments << "--misbehave" << broken;
        ProgramRunner sim(QStringLiteral(SIM_PATH), arguments);
        sim.nextLine(); // the pseudo-terminal, once it is linked as COM2
        // The reply time is judged against the default bound only where that rule is broken:
        // a loaded machine reads a reply late, however fast it came.
        QStringList session{"--conformance", "--com",   "2", "--interval",
                            "100",           "--notes", "3", "--json"};
        if (broken != "response-time")
            session << "--reply-within"
                    << "1000";
        RunProgram run(dir.path(), session);
        EXPECT_EQ(run.finish(), broken.isEmpty() ? 0 : 1) << qPrintable(run.err);
        EXPECT_EQ(run.lines().value(0), "Insert a note of any enabled channel");
        const QJsonArray rules = run.summary()["rules"].toArray();
        ASSERT_EQ(rules.size(), 8) << qPrintable(run.out);
        for (const QJsonValue &value : rules) {
            const QJsonObject rule = value.toObject();
            EXPECT_EQ(rule["result"].toString(), rule["rule"] == broken ? "failed" : "passed")
                    << qPrintable(rule["rule"].toString());
        }
    }
}

} // namespace
