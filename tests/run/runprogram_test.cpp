#include "comport.h"
#include "simulatedvalidator.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

// brisvel-run as a test rig starts it, against the simulated validator in this process.
namespace {

constexpr int patience = 30000; // ms

class RunProgram
{
public:
    RunProgram(const QString &folder, QStringList arguments)
    {
        arguments << "--data-folder" << folder;
        process.start(QStringLiteral(RUN_PATH), arguments);
    }

    ~RunProgram()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(patience);
        }
    }

    // The exit code, or -1 when the program did not end.
    int finish()
    {
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, patience))
            return -1;
        out = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        err = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QJsonObject summary() const
    {
        return QJsonDocument::fromJson(out.value(out.size() - 1).toUtf8()).object();
    }

    QProcess process;
    QStringList out;
    QString err;
};

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

struct ExitCase
{
    const char *name;
    QStringList arguments;
    bool dropFirstReply;
    int exitCode;
    const char *error; // a part of standard error
};

void PrintTo(const ExitCase &c, std::ostream *os)
{
    *os << c.name;
}

class ExitCodes : public RunProgramTest, public testing::WithParamInterface<ExitCase>
{ };

TEST_P(ExitCodes, TellHowTheRunWent)
{
    if (GetParam().dropFirstReply)
        validator.line.inject(ValidatorLine::Fault::Drop);
    RunProgram run(dir.path(), GetParam().arguments);
    EXPECT_EQ(run.finish(), GetParam().exitCode) << qPrintable(run.err);
    EXPECT_TRUE(run.err.contains(GetParam().error)) << qPrintable(run.err);
    const bool ran = GetParam().exitCode < 3; // 3: the command line was refused
    EXPECT_EQ(run.out.join('\n').contains("Frames sent"), ran) << qPrintable(run.out.join('\n'));
}

// Generous intervals: a run by polls ends with the last reply, not with an interval.
INSTANTIATE_TEST_SUITE_P(
        Cases, ExitCodes,
        testing::Values(
                ExitCase{"EveryFrameAnswered",
                         {"--com", "1", "--polls", "2", "--interval", "500"},
                         false,
                         0,
                         ""},
                ExitCase{"ADroppedReply",
                         {"--com", "1", "--polls", "2", "--interval", "500"},
                         true,
                         1,
                         ""},
                ExitCase{"APortThatDoesNotExist",
                         {"--com", "9", "--polls", "2"},
                         false,
                         2,
                         "does not exist"},
                ExitCase{"AWrongOption", {"--com", "1", "--mode", "sideways"}, false, 3, "--mode"},
                ExitCase{"AnUnknownOption", {"--com", "1", "--fast"}, false, 3, "Unknown option"},
                ExitCase{"AReportThatCannotBeWritten",
                         {"--com", "1", "--report", "/no/such/folder/report.txt"},
                         false,
                         3,
                         "cannot write the report"},
                ExitCase{"ConformanceByPolls",
                         {"--com", "1", "--conformance", "--polls", "2"},
                         false,
                         3,
                         "--conformance"}),
        [](const testing::TestParamInfo<ExitCase> &info) { return info.param.name; });

TEST_F(RunProgramTest, JsonSummaryOnTheLastLine)
{
    RunProgram run(dir.path(), {"--com", "1", "--polls", "2", "--interval", "500", "--json"});
    ASSERT_EQ(run.finish(), 0) << qPrintable(run.err);
    ASSERT_EQ(run.out.size(), 3);
    EXPECT_TRUE(run.out[0].startsWith(" 02 08 10 7F 10 00 03 77       02 0B 20 01"));
    const QJsonObject summary = run.summary();
    EXPECT_EQ(summary["com"].toInt(), 1);
    EXPECT_EQ(summary["interval"].toInt(), 500);
    EXPECT_EQ(summary["mode"].toString(), "normal");
    EXPECT_EQ(summary["frames"].toInt(), 2);
    EXPECT_EQ(summary["framesDue"].toInt(), 2);
    EXPECT_EQ(summary["replies"].toInt(), 2);
    EXPECT_EQ(summary["noResponses"].toInt(), 0);
    EXPECT_EQ(summary["badChecksums"].toInt(), 0);
    EXPECT_EQ(summary["exitCode"].toInt(), 0);
    const QJsonArray tally = summary["tally"].toArray();
    ASSERT_EQ(tally.size(), 7);
    EXPECT_EQ(tally[6].toObject()["value"].toInt(), 100);
    EXPECT_EQ(summary["total"].toObject()["quantity"].toInt(), 0);
    EXPECT_FALSE(summary.contains("error"));
}

TEST_F(RunProgramTest, StatisticsAndReportOfABatchOfNotes)
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

    const QJsonObject summary = run.summary();
    const QJsonArray perChannel = summary["notes"].toArray();
    ASSERT_EQ(perChannel.size(), 7);
    // accepting, escrowed, stacked, returned, rejected, per channel
    const int expected[7][5] = {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {2, 2, 2, 0, 0}, {0, 0, 0, 0, 0},
                                {0, 0, 0, 0, 0}, {1, 0, 0, 0, 1}, {1, 0, 0, 0, 1}};
    const char *keys[] = {"accepting", "escrowed", "stacked", "returned", "rejected"};
    for (int channel = 0; channel < 7; ++channel) {
        for (int k = 0; k < 5; ++k) {
            EXPECT_EQ(perChannel[channel].toObject()[keys[k]].toInt(-1), expected[channel][k])
                    << "channel " << channel + 1 << " " << keys[k];
        }
    }
    EXPECT_EQ(perChannel[2].toObject()["acceptanceRate"].toDouble(), 1.0);
    EXPECT_TRUE(perChannel[0].toObject()["acceptanceRate"].isNull());
    EXPECT_EQ(summary["tally"].toArray()[2].toObject()["quantity"].toInt(), 2);
    const QJsonObject events = summary["events"].toObject();
    EXPECT_EQ(events["powerUp"].toInt(), 1);
    EXPECT_EQ(events["rejected"].toInt(), 2);
    EXPECT_EQ(events["stacked"].toInt(), 2);
    EXPECT_EQ(summary["frames"].toInt(), 24);
    EXPECT_EQ(summary["replies"].toInt(), 24);
    EXPECT_EQ(summary["framingFailures"].toInt(), 0);
    const QJsonObject latency = summary["latency"].toObject();
    EXPECT_EQ(latency["replies"].toInt(), summary["replies"].toInt());
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

TEST_F(RunProgramTest, JsonSummaryOfAPortError)
{
    RunProgram run(dir.path(), {"--com", "9", "--json"});
    ASSERT_EQ(run.finish(), 2);
    const QJsonObject summary = run.summary();
    EXPECT_EQ(summary["exitCode"].toInt(), 2);
    EXPECT_EQ(summary["frames"].toInt(), 0);
    EXPECT_TRUE(summary["error"].toString().startsWith("Communication Port Error (#:"));
}

TEST_F(RunProgramTest, AnInterruptedRunEndsWithItsSummary)
{
    RunProgram run(dir.path(), {"--com", "1", "--interval", "100"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return run.process.canReadLine(); }, patience));
    run.process.terminate();
    EXPECT_GE(run.finish(), 0);
    EXPECT_TRUE(run.out.join('\n').contains("Frames sent")) << qPrintable(run.out.join('\n'));
}

class Conformance : public RunProgramTest, public testing::WithParamInterface<const char *>
{ };

// The simulator program, told to break one rule (or none), against a conformance session.
TEST_P(Conformance, FailsExactlyTheRuleTheSimulatorBreaks)
{
    const QString broken = QString::fromLatin1(GetParam());
    // Replies at once: a slow one, 40 ms late, stands out from any load on the machine.
    QStringList arguments{"--com", "2", "--data-folder", dir.path(), "--fast", "--auto", "0.1"};
    if (!broken.isEmpty())
        arguments << "--misbehave" << broken;
    QProcess sim;
    sim.start(QStringLiteral(SIM_PATH), arguments);
    // The first line names the pseudo-terminal, once it is linked as COM2.
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.canReadLine(); }, patience));

    RunProgram run(dir.path(),
                   {"--conformance", "--com", "2", "--interval", "100", "--notes", "3", "--json"});
    EXPECT_EQ(run.finish(), broken.isEmpty() ? 0 : 1) << qPrintable(run.err);
    EXPECT_EQ(run.out.value(0), "Insert a note of any enabled channel");
    const QJsonArray rules = run.summary()["rules"].toArray();
    ASSERT_EQ(rules.size(), 8) << qPrintable(run.out.join('\n'));
    for (const QJsonValue &value : rules) {
        const QJsonObject rule = value.toObject();
        EXPECT_EQ(rule["result"].toString(), rule["rule"] == broken ? "failed" : "passed")
                << qPrintable(rule["rule"].toString());
    }
    sim.kill();
    sim.waitForFinished(patience);
}

INSTANTIATE_TEST_SUITE_P(Rules, Conformance,
                         testing::Values("", "framing", "acknowledgement", "repetition",
                                         "event-life", "invalid-command", "response-time",
                                         "note-paths"),
                         [](const testing::TestParamInfo<const char *> &info) {
                             QString name = QString::fromLatin1(info.param);
                             return name.isEmpty() ? std::string("WellBehaved")
                                                   : name.remove('-').toStdString();
                         });

} // namespace
