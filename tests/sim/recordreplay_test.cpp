#include "frames.h"
#include "programrunner.h"
#include "qtserialline.h"
#include "recordreplay.h"
#include "simulatedvalidator.h"
#include "testermodel.h"
#include "trafficrecord.h"

#include <QTemporaryDir>

#include <functional>

using Frames::command;
using Frames::hex;

// Reading a traffic record written as the tester writes it, answering from it, and playing it
// back to a tester.
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
            QStringList replies{Frames::spaced(exchanges[0].reply)};
            for (const QByteArray &later : exchanges[0].laterReplies)
                replies << Frames::spaced(later);
            EXPECT_EQ(replies.join(" + "), c.replies[i]) << i;
        }
        EXPECT_EQ(replay.differing(), c.differing);
    }
}

TEST(RecordReplay, SaysWhichLineIsNotARecordLineAndCountsWhatWasPlayed)
{
    RecordReplay replay;
    QString error;
    EXPECT_FALSE(
            replay.parse({recordLine(sentAck0, idleAck0), "whatever this is, it is long"}, &error));
    EXPECT_EQ(error, "line 2 is not a line of a traffic record");
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

// The tester's model on COM1 of a folder, sending by hand, with its record.
struct Tester
{
    explicit Tester(const QString &folder)
        : line(folder)
        , model(&line, HighColour)
    {
        model.setPortText("1");
        model.setComPort(1);
        model.markPortForReopen();
        model.setIntervalText("65535");
        for (int i = 0; i < 7; ++i)
            model.setChannelState(i, 1);
        model.setEscrow(true);
        model.ValueChg();
        model.clickModeButton();
        record.follow(&model);
    }

    // Sends `count` frames, each once the validator has answered the one before (or dropped
    // its reply) and the record has every reply written; beforeSend(n) runs before frame n + 1.
    void converse(const SimulatedValidator &end, int count,
                  const std::function<void(int)> &beforeSend = {})
    {
        const auto quiet = [&](int sent) {
            int replies = 0;
            for (int i = 0; i < record.size(); ++i)
                replies += record.at(i).reply.has_value();
            return end.frames.size() + end.junk.size() == sent && replies == end.replies.size();
        };
        for (int sent = 0; sent < count; ++sent) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return quiet(sent); }, ProgramRunner::patience));
            if (beforeSend)
                beforeSend(sent);
            if (sent == 0)
                model.setRunSwitch(true);
            else
                model.SendCommand();
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return quiet(count); }, ProgramRunner::patience));
    }

    QStringList logRows() const
    {
        QStringList rows;
        for (int i = 0; i < TrafficLog::rows; ++i)
            rows << model.log().sent(i) + '|' + model.log().reply(i);
        return rows;
    }

    QtSerialLine line;
    TesterModel model;
    TrafficRecord record;
};

// A conversation recorded against the simulated validator, played back to a second tester: the
// second tester's log and record show the same lines.
TEST(RecordReplay, AReplayedRecordProducesTheSameLogLines)
{
    constexpr int frames = 20;
    QTemporaryDir benchFolder;
    SimulatedValidator bench(benchFolder.path());
    Tester original(benchFolder.path());
    original.converse(bench, frames, [&](int sent) {
        if (sent == 1)
            bench.engine.insertNote(3);
        if (sent == 10)
            bench.line.inject(ValidatorLine::Fault::Drop);
        if (sent == 13)
            bench.line.inject(ValidatorLine::Fault::Corrupt);
    });
    ASSERT_EQ(bench.engine.stacked(), 1);
    ASSERT_EQ(original.record.counts().noResponses, 2) << "the dropped and the corrupt reply";
    const QString path = benchFolder.filePath("record.txt");
    QString error;
    ASSERT_TRUE(original.record.save(path, &error)) << qPrintable(error);

    QTemporaryDir officeFolder;
    RecordReplay replay;
    ASSERT_TRUE(replay.load(path, &error)) << qPrintable(error);
    SimulatedValidator office(officeFolder.path(), 1, &replay);
    Tester replayed(officeFolder.path());
    replayed.converse(office, frames);

    EXPECT_EQ(replayed.logRows(), original.logRows());
    const auto columns = [](const Tester &tester) {
        QStringList columns;
        for (const QString &line : tester.record.lines())
            columns << line.left(73);
        return columns;
    };
    EXPECT_EQ(columns(replayed), columns(original));
    EXPECT_EQ(replay.played(), frames);
    EXPECT_EQ(replay.differing(), 0);
    EXPECT_EQ(replayed.model.tally().amount(NoteTally::totalRow), "5");
}

} // namespace
