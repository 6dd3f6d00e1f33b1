#include "console.h"
#include "displayprofile.h"
#include "fonts.h"
#include "headlessrun.h"
#include "qtserialline.h"
#include "scriptplayer.h"
#include "simulatedvalidator.h"
#include "testerwindow.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

// The runner in this process, on a pseudo-terminal with the simulated validator at its far end.
namespace {

constexpr int patience = 30000; // ms

// The run ended: at once, or within the patience.
bool ended(QSignalSpy &finished)
{
    return !finished.isEmpty() || finished.wait(patience);
}

RunOptions runOptions(const QString &folder, QStringList arguments)
{
    QCommandLineParser parser;
    addRunOptions(parser);
    arguments.prepend("brisvel-run");
    arguments << "--com"
              << "1"
              << "--data-folder" << folder;
    EXPECT_TRUE(parser.parse(arguments));
    QString error;
    const std::optional<RunOptions> options = readRunOptions(parser, &error);
    EXPECT_TRUE(options) << qPrintable(error);
    return options.value_or(RunOptions{});
}

class HeadlessRunTest : public testing::Test
{
protected:
    // Runs to the end; the exit code, or -1 when the run did not end.
    int runToEnd(const QStringList &arguments)
    {
        run = std::make_unique<HeadlessRun>(runOptions(dir.path(), arguments), &line);
        QObject::connect(run.get(), &HeadlessRun::output,
                         [this](const QString &text) { output << text; });
        QSignalSpy finished(run.get(), &HeadlessRun::finished);
        run->start();
        if (!ended(finished))
            return -1;
        return finished.first().first().toInt();
    }

    QTemporaryDir dir;
    SimulatedValidator validator{dir.path(), 1};
    QtSerialLine line{dir.path()};
    std::unique_ptr<HeadlessRun> run;
    QStringList output;
};

TEST_F(HeadlessRunTest, ChannelsAndEscrowReachTheFrame)
{
    ASSERT_EQ(runToEnd({"--polls", "1", "--interval", "1000", "--channels", "1010101",
                        "--no-escrow"}),
              HeadlessRun::AllAnswered);
    ASSERT_EQ(validator.frames.size(), 1);
    EXPECT_EQ(validator.frames[0], QByteArray::fromHex("020810550000034D"));
}

TEST_F(HeadlessRunTest, NegativeAckSendsTheFirstFrameAgainAndAgain)
{
    ASSERT_GE(runToEnd({"--polls", "6", "--interval", "30", "--mode", "negative-ack", "--no-escrow",
                        "--json"}),
              HeadlessRun::AllAnswered);
    ASSERT_TRUE(QTest::qWaitFor([&] { return validator.frames.size() == 6; }, patience));
    for (const QByteArray &frame : validator.frames)
        EXPECT_EQ(frame, QByteArray::fromHex("0208107F00000367"));
    const QJsonObject summary = QJsonDocument::fromJson(output.last().toUtf8()).object();
    EXPECT_EQ(summary["mode"].toString(), "negative-ack");
    EXPECT_EQ(summary["frames"].toInt(), 6);
}

// The note stacked in the last exchange is in the summary, and a reply that waited in the port
// before the run is not taken for the first frame's.
TEST_F(HeadlessRunTest, TheLastExchangesNoteCountsAndBytesWaitingBeforeTheRunDoNot)
{
    validator.pty.write(QByteArray::fromHex("020B201100380000000302")); // stacked, channel 7
    ASSERT_TRUE(validator.engine.insertNote(3));
    ASSERT_EQ(runToEnd({"--polls", "5", "--interval", "250", "--json"}), HeadlessRun::AllAnswered);
    ASSERT_EQ(output.size(), 6);
    EXPECT_TRUE(output[4].contains(" 02 0B 20 11 00 18 00 00 00 03 22     3 STD "))
            << qPrintable(output[4]);
    const QJsonObject summary = QJsonDocument::fromJson(output.last().toUtf8()).object();
    EXPECT_EQ(summary["total"].toObject()["quantity"].toInt(), 1);
    EXPECT_EQ(summary["total"].toObject()["amount"].toInt(), 5);
    EXPECT_EQ(summary["framesDue"].toInt(), 5);
}

// Random bytes about every millisecond, as on a noisy line at 9600 baud: polling goes on at its
// rate, the frames go unanswered, and the exit status says so.
TEST_F(HeadlessRunTest, NoiseOnTheLineDoesNotStopThePollingAndFailsTheRun)
{
    QRandomGenerator random(960);
    QTimer noise;
    QObject::connect(&noise, &QTimer::timeout,
                     [&] { validator.pty.write(QByteArray(1, char(random.bounded(256)))); });
    noise.start(1);
    EXPECT_EQ(runToEnd({"--polls", "20", "--interval", "30", "--json"}), HeadlessRun::NoResponse);
    const QJsonObject summary = QJsonDocument::fromJson(output.last().toUtf8()).object();
    EXPECT_EQ(summary["frames"].toInt(), 20);
    EXPECT_GE(summary["framesDue"].toInt(), 20);
    EXPECT_GT(summary["noResponses"].toInt(), 0);
    EXPECT_EQ(summary["total"].toObject()["quantity"].toInt(), 0);
}

// The simulator plays the same script to the runner and to the tester window.
class SameScript : public testing::Test
{
protected:
    void SetUp() override
    {
        installFontSubstitutions();
        setDisplayProfile(HighColour);
        TesterWindow::setMessageShower([](QWidget *, const QString &, const QString &text,
                                          const QString &) { ADD_FAILURE() << qPrintable(text); });
    }

    void TearDown() override { TesterWindow::setMessageShower({}); }

    // Plays the script and waits until the validator has stacked its notes and the tester has
    // had two replies more.
    template<typename Record>
    void play(SimulatedValidator &validator, const Record &record)
    {
        Console console(validator.engine, validator.line);
        QObject::connect(&console, &Console::error,
                         [](const QString &text) { ADD_FAILURE() << qPrintable(text); });
        ScriptPlayer player(console);
        player.setLines({"insert 3", "wait 2000", "insert 7"});
        player.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return validator.engine.stacked() == 2; }, patience));
        const int replies = record().counts().replies;
        ASSERT_TRUE(
                QTest::qWaitFor([&] { return record().counts().replies > replies + 1; }, patience));
    }
};

TEST_F(SameScript, TheRunnersSummaryEqualsTheWindowsTally)
{
    QJsonObject summary;
    {
        QTemporaryDir dir;
        SimulatedValidator validator(dir.path(), 1);
        QtSerialLine line(dir.path());
        HeadlessRun run(runOptions(dir.path(), {"--interval", "100", "--json"}), &line);
        QStringList output;
        QObject::connect(&run, &HeadlessRun::output, [&](const QString &text) { output << text; });
        QSignalSpy finished(&run, &HeadlessRun::finished);
        run.start();
        play(validator, [&]() -> const TrafficRecord & { return run.record(); });
        run.stop();
        ASSERT_TRUE(ended(finished));
        summary = QJsonDocument::fromJson(output.last().toUtf8()).object();
    }

    QTemporaryDir dir;
    SimulatedValidator validator(dir.path(), 1);
    TesterWindow window(HighColour, dir.path());
    window.findChild<QLineEdit *>("Text2")->setText("100");
    window.show();
    window.findChild<QPushButton *>("Check4")->click();
    play(validator, [&]() -> const TrafficRecord & { return window.record(); });
    window.findChild<QPushButton *>("Check4")->click();

    const auto label = [&](const char *name, int i) {
        return window.findChild<QLabel *>(QStringLiteral("%1_%2").arg(name).arg(i))->text();
    };
    const QJsonArray channels = summary["tally"].toArray();
    ASSERT_EQ(channels.size(), 7);
    for (int i = 0; i < 7; ++i) {
        const QJsonObject channel = channels[i].toObject();
        EXPECT_EQ(QString::number(channel["quantity"].toDouble()), label("Label9", i)) << i;
        EXPECT_EQ(QString::number(channel["amount"].toDouble()), label("Label10", i)) << i;
    }
    const QJsonObject total = summary["total"].toObject();
    EXPECT_EQ(QString::number(total["quantity"].toDouble()), label("Label9", 7));
    EXPECT_EQ(QString::number(total["amount"].toDouble()), label("Label10", 7));
    EXPECT_EQ(label("Label9", 7), "2");
    EXPECT_EQ(label("Label10", 7), "105"); // channels 3 and 7: 5 and 100
}

} // namespace
