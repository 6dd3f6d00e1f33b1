// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/qtserialline.h"
#include "run/headlessrun.h"
#include "tests/support/frames.h"
#include "tests/support/simulatedvalidator.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

// The runner in this process, on a pseudo-terminal with the simulated validator at its far end.
namespace {

constexpr int patience = 30000; // ms

class HeadlessRunTest : public testing::Test
{
protected:
    // Runs with the given options on COM1 to the end; the exit code, or -1 when it did not end.
    int runToEnd(QStringList arguments)
    {
        QCommandLineParser parser;
        addRunOptions(parser);
        EXPECT_TRUE(parser.parse(
                QStringList{"brisvel-run", "--com", "1", "--data-folder", dir.path()} + arguments));
        QString error;
        const std::optional<RunOptions> options = readRunOptions(parser, &error);
        EXPECT_TRUE(options) << qPrintable(error);
        run = std::make_unique<HeadlessRun>(options.value_or(RunOptions{}), &line);
        for (const auto signal : {&HeadlessRun::output, &HeadlessRun::summary})
            QObject::connect(run.get(), signal, [this](const QString &text) { output << text; });
        QSignalSpy finished(run.get(), &HeadlessRun::finished);
        run->start();
        if (finished.isEmpty() && !finished.wait(patience))
            return -1;
        return finished.first().first().toInt();
    }

    QJsonObject summary() const { return QJsonDocument::fromJson(output.last().toUtf8()).object(); }

    QTemporaryDir dir;
    SimulatedValidator validator{dir.path(), 1};
    QtSerialLine line{dir.path()};
    std::unique_ptr<HeadlessRun> run;
    QStringList output;
};

// Escrow off reaches the frame; negative acknowledgement sends the first frame again and again.
TEST_F(HeadlessRunTest, NegativeAckSendsTheFirstFrameAgainAndAgain)
{
    ASSERT_GE(runToEnd({"--polls", "6", "--interval", "30", "--mode", "negative-ack", "--no-escrow",
                        "--json"}),
              HeadlessRun::AllAnswered);
    ASSERT_TRUE(QTest::qWaitFor([&] { return validator.frames.size() == 6; }, patience));
    for (const QByteArray &frame : validator.frames)
        EXPECT_EQ(frame, Frames::hex("02 08 10 7F 00 00 03 67"));
    EXPECT_EQ(summary()["mode"].toString(), "negative-ack");
}

// The note stacked in the last exchange is in the summary, and a reply that waited in the port
// before the run is not taken for the first frame's.
TEST_F(HeadlessRunTest, TheLastExchangesNoteCountsAndBytesWaitingBeforeTheRunDoNot)
{
    validator.pty.write(Frames::hex("02 0B 20 11 00 38 00 00 00 03 02")); // stacked, channel 7
    ASSERT_TRUE(validator.engine.insertNote(3));
    ASSERT_EQ(runToEnd({"--polls", "5", "--interval", "250", "--json"}), HeadlessRun::AllAnswered);
    ASSERT_EQ(output.size(), 6);
    EXPECT_TRUE(output[4].contains(" 02 0B 20 11 00 18 00 00 00 03 22     3 STD "))
            << qPrintable(output[4]);
    EXPECT_EQ(summary()["total"].toObject()["quantity"].toInt(), 1);
    EXPECT_EQ(summary()["framesDue"].toInt(), 5);
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
    const QJsonObject summary = this->summary();
    EXPECT_EQ(summary["frames"].toInt(), 20);
    EXPECT_GE(summary["framesDue"].toInt(), 20);
    EXPECT_EQ(summary["total"].toObject()["quantity"].toInt(), 0);
}

} // namespace
