// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/qtserialline.h"
#include "run/headlessrun.h"
#include "sim/recordreplay.h"
#include "tests/support/frames.h"
#include "tests/support/printers.h"
#include "tests/support/programrunner.h"
#include "tests/support/simulatedvalidator.h"

#include <QCommandLineParser>
#include <QSignalSpy>
#include <QTemporaryDir>

using Frames::command;
using Frames::hex;

namespace {

const QString sentAck0 = QStringLiteral(" 02 08 10 7F 10 00 03 77    ");
const QString sentAck1 = QStringLiteral(" 02 08 11 7F 10 00 03 76    ");
const QString idleAck0 = QStringLiteral(" 02 0B 20 01 00 00 00 00 00 03 2A          ");
const QString idleAck1 = QStringLiteral(" 02 0B 21 01 00 00 00 00 00 03 2B          ");
const QString stacked3 = QStringLiteral(" 02 0B 20 11 00 18 00 00 00 03 22     3 STD");
const QString noResponse = QStringLiteral("       NO RESPONSE!  TIMEOUT");

QString recordLine(const QString &sent, const QString &reply, const QString &remark = {})
{
    const QString line = sent.leftJustified(28) + "  " + reply.leftJustified(43)
                         + "  2024-05-01T12:00:00.000+02:00     12 ms  IDLING        -";
    return remark.isEmpty() ? line : line + "  # " + remark;
}

// Each case: the record's lines, the controls of the commands the host sends, the reply to
// each in hex with later replies after a "+", and how many commands differed from the record.
TEST(RecordReplay, AnswersAsRecorded)
{
    const struct
    {
        const char *name;
        QStringList lines;
        QList<int> controls;
        QStringList replies;
        int differing;
    } cases[] = {
            {"AnsweredFramesGetTheirRepliesAndNoResponseNothing",
             {recordLine(sentAck0, idleAck0), recordLine(sentAck1, noResponse),
              recordLine(sentAck1, "", "no reply yet"), recordLine(sentAck1, idleAck1)},
             {0x10, 0x11, 0x11, 0x11},
             {"02 0B 20 01 00 00 00 00 00 03 2A", "", "", "02 0B 21 01 00 00 00 00 00 03 2B"},
             0},
            {"BadFramesComeAsTheyCame",
             {recordLine(sentAck0, noResponse, "bad checksum: 02 0B 20 01 00 00 00 00 00 03 2B"),
              recordLine(sentAck0, noResponse, "bad frame: 02 0B 20 01 00 00 00 00 00 04 2A")},
             {0x10, 0x10},
             {"02 0B 20 01 00 00 00 00 00 03 2B", "02 0B 20 01 00 00 00 00 00 04 2A"},
             0},
            {"ASecondReplyFollowsItsFrame",
             {recordLine(sentAck0, idleAck0), recordLine("", stacked3, "second reply")},
             {0x10},
             {"02 0B 20 01 00 00 00 00 00 03 2A + 02 0B 20 11 00 18 00 00 00 03 22"},
             0},
            {"CommentsBlankLinesUnsentFramesAndSummariesAreSkipped",
             {"# a bench in Lyon", "",
              recordLine(" 02 08 00 00 00 00 03 00    ", "",
                         "nothing sent: no frame built yet; no reply yet"),
              recordLine("", idleAck0, "reply with no frame sent"), recordLine(sentAck0, idleAck0),
              "Channel     Value  Quantity      Amount", "      1         1         0           0",
              "Frames sent           1"},
             {0x10, 0x11},
             {"02 0B 20 01 00 00 00 00 00 03 2A", ""},
             0},
            {"ADifferentCommandStillGetsTheRecordedReply",
             {recordLine(sentAck0, idleAck0), R"({"badChecksums":0,"frames":1})"},
             {0x11},
             {"02 0B 20 01 00 00 00 00 00 03 2A"},
             1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RecordReplay replay;
        QString error;
        ASSERT_TRUE(replay.parse(c.lines, &error)) << qPrintable(error);
        for (qsizetype i = 0; i < c.controls.size(); ++i) {
            const QList<Exchange> exchanges = replay.receive(command(c.controls[i]));
            ASSERT_EQ(exchanges.size(), 1) << i;
            QStringList replies{Frame::hexBytes(exchanges[0].reply)};
            for (const QByteArray &later : exchanges[0].laterReplies)
                replies << Frame::hexBytes(later);
            EXPECT_EQ(replies.join(" + "), c.replies[i]) << i;
        }
        EXPECT_EQ(replay.differing(), c.differing);
    }
}

// A record that cannot be replayed as it was recorded is refused, naming its first wrong line.
TEST(RecordReplay, SaysWhichLineIsNotARecordLineAndCountsWhatWasPlayed)
{
    const QString reply = QStringLiteral("line 2: its reply is neither blank, nor the no-response "
                                         "line, nor 11 bytes");
    const std::pair<QStringList, QString> refused[] = {
            {{recordLine(sentAck0, idleAck0), "whatever this is, it is long"},
             "line 2 is not a line of a traffic record"},
            {{recordLine(sentAck0, idleAck0), recordLine(sentAck1, idleAck1).left(50)}, reply},
            {{recordLine(sentAck0, idleAck0), recordLine(sentAck1, " 02 0B 21 01 00 00 00 0")},
             reply},
            {{recordLine(sentAck0, idleAck0), recordLine(sentAck1, "       NO RESPONSE!")}, reply},
            {{recordLine(sentAck0, idleAck0),
              recordLine(sentAck1, noResponse, "bad checksum: 02 0B 21 01 00")},
             reply},
            {{recordLine("", idleAck0, "reply with no frame sent"), recordLine("", "02 0B")}, reply},
            {{}, "no exchange to replay"},
            {{"# a bench in Lyon", "",
              recordLine(" 02 08 00 00 00 00 03 00    ", "",
                         "nothing sent: no frame built yet; no reply yet")},
             "no exchange to replay"}};
    RecordReplay replay;
    QString error;
    for (const auto &[lines, why] : refused) {
        EXPECT_FALSE(replay.parse(lines, &error)) << qPrintable(lines.join('\n'));
        EXPECT_EQ(error, why) << qPrintable(lines.join('\n'));
    }
    EXPECT_FALSE(replay.load(QTemporaryDir().filePath("missing.txt"), &error));
    EXPECT_TRUE(error.contains("missing.txt: ")) << qPrintable(error);

    ASSERT_TRUE(
            replay.parse({recordLine(sentAck0, idleAck0), recordLine(sentAck1, idleAck1)}, &error));
    replay.receive(command(0x10));
    EXPECT_EQ(replay.status(), "replayed 1 of 2 frames, 0 differed from the record");
}

// brisvel-validator-sim --replay, as an operator starts it with a record from a customer.
TEST(RecordReplay, TheSimulatorAnswersEachCommandWithTheRecordsNextReply)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("record.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QStringList lines = {
            recordLine(sentAck0, " 02 0B 20 01 00 01 00 00 00 03 2B"),
            recordLine(sentAck1, noResponse), recordLine(sentAck1, idleAck1),
            recordLine("", " 02 0B 21 11 00 18 00 00 00 03 23     3 STD", "second reply")};
    file.write(lines.join('\n').toUtf8());
    file.close();
    ProgramRunner sim(SIM_PATH, {"--pty", "--fast", "--replay", file.fileName()});
    QSerialPort host;
    ASSERT_TRUE(openHost(host, sim.nextLine())) << qPrintable(host.errorString());
    host.write(command(0x10));
    EXPECT_EQ(readAtLeast(host, 11), hex("02 0B 20 01 00 01 00 00 00 03 2B"));
    host.write(command(0x11)); // recorded with no reply
    host.write(command(0x11));
    EXPECT_EQ(readAtLeast(host, 22),
              hex("02 0B 21 01 00 00 00 00 00 03 2B 02 0B 21 11 00 18 00 00 00 03 23"));
    sim.process.write("status\nquit\n");
    EXPECT_EQ(sim.nextLine(), "replayed 3 of 3 frames, 0 differed from the record");
    EXPECT_EQ(sim.finish(), 0);
    EXPECT_TRUE(host.readAll().isEmpty()) << "nothing for the frame recorded with no reply";
}

// brisvel-run's session in this process, `polls` polls on COM1 of `folder`: the first 73
// columns of its record, the frames and replies as the log shows them.
QStringList recordedColumns(const QString &folder, const QString &saveTo = {})
{
    QCommandLineParser parser;
    addRunOptions(parser);
    EXPECT_TRUE(parser.parse({"brisvel-run", "--com", "1", "--polls", "20", "--interval", "100",
                              "--data-folder", folder}));
    QString error;
    QtSerialLine line(folder);
    HeadlessRun run(readRunOptions(parser, &error).value_or(RunOptions{}), &line);
    QStringList lines;
    QObject::connect(&run, &HeadlessRun::output, [&lines](const QString &text) { lines << text; });
    QSignalSpy finished(&run, &HeadlessRun::finished);
    run.start();
    EXPECT_TRUE(finished.wait(ProgramRunner::patience));
    QFile file(saveTo);
    EXPECT_TRUE(saveTo.isEmpty()
                || (file.open(QIODevice::WriteOnly)
                    && file.write((lines.join('\n') + '\n').toUtf8()) > 0));
    QStringList columns;
    for (const QString &recordLine : lines)
        columns << recordLine.left(73);
    return columns;
}

// A run recorded against the simulated validator, with a note stacked, a reply dropped and one
// corrupt, played back to a second run: the second run's record shows the same lines.
TEST(RecordReplay, AReplayedRecordProducesTheSameLines)
{
    QTemporaryDir bench;
    SimulatedValidator validator(bench.path());
    // Each change applies to the reply to the frame just received.
    QObject::connect(&validator.line, &ValidatorLine::received, &validator.line, [&] {
        const qsizetype received = validator.frames.size() + validator.junk.size();
        if (received == 2)
            validator.engine.insertNote(3);
        if (received == 11)
            validator.line.inject(ValidatorLine::Fault::Drop);
        if (received == 14)
            validator.line.inject(ValidatorLine::Fault::Corrupt);
    });
    const QString path = bench.filePath("record.txt");
    const QStringList original = recordedColumns(bench.path(), path);
    ASSERT_EQ(original.size(), 20);
    EXPECT_EQ(original.filter("NO RESPONSE!").size(), 2) << "the dropped and the corrupt reply";
    EXPECT_EQ(original.filter("3 STD").size(), 1);

    QTemporaryDir office;
    RecordReplay replay;
    QString error;
    ASSERT_TRUE(replay.load(path, &error)) << qPrintable(error);
    SimulatedValidator replayer(office.path(), 1, &replay);
    EXPECT_EQ(recordedColumns(office.path()), original);
    EXPECT_EQ(replay.status(), "replayed 20 of 20 frames, 0 differed from the record");
}

} // namespace
