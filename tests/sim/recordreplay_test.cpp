#include "recordreplay.h"
#include "testframes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

using TestFrames::command;

// Reading a traffic record written as the tester writes it, and answering from it.
namespace {

const QString sentAck0 = QStringLiteral(" 02 08 10 7F 10 00 03 77    ");
const QString sentAck1 = QStringLiteral(" 02 08 11 7F 10 00 03 76    ");
const QString idleAck0 = QStringLiteral(" 02 0B 20 01 00 00 00 00 00 03 2A          ");
const QString idleAck1 = QStringLiteral(" 02 0B 21 01 00 00 00 00 00 03 2B          ");
const QString stacked3 = QStringLiteral(" 02 0B 20 11 00 18 00 00 00 03 22     3 STD");
const QString noResponse = QStringLiteral("       NO RESPONSE!  TIMEOUT");

QByteArray bytes(const char *hex)
{
    return QByteArray::fromHex(hex);
}

QString recordLine(const QString &sent, const QString &reply, const QString &remark = {})
{
    QString line = sent.leftJustified(28) + "  " + reply.leftJustified(43)
                   + "  2024-05-01T12:00:00.000+02:00     12 ms  IDLING        -";
    return remark.isEmpty() ? line : line + "  # " + remark;
}

struct Answer
{
    QByteArray reply;
    QList<QByteArray> later;
};

struct ReplayCase
{
    const char *name;
    QStringList lines;
    QList<QByteArray> commands;
    QList<Answer> answers;
    int differing;
};

void PrintTo(const ReplayCase &c, std::ostream *os)
{
    *os << c.name;
}

class RecordReplayCases : public testing::TestWithParam<ReplayCase>
{ };

TEST_P(RecordReplayCases, AnswerAsRecorded)
{
    RecordReplay replay;
    QString error;
    ASSERT_TRUE(replay.parse(GetParam().lines, &error)) << qPrintable(error);
    for (qsizetype i = 0; i < GetParam().commands.size(); ++i) {
        const QList<Exchange> exchanges = replay.receive(GetParam().commands[i]);
        ASSERT_EQ(exchanges.size(), 1) << i;
        EXPECT_EQ(exchanges[0].received, GetParam().commands[i]) << i;
        EXPECT_EQ(exchanges[0].reply.toHex(' '), GetParam().answers[i].reply.toHex(' ')) << i;
        EXPECT_EQ(exchanges[0].laterReplies, GetParam().answers[i].later) << i;
    }
    EXPECT_EQ(replay.differing(), GetParam().differing);
}

INSTANTIATE_TEST_SUITE_P(
        Cases, RecordReplayCases,
        testing::Values(
                ReplayCase{"AnsweredFramesGetTheirReplies",
                           {recordLine(sentAck0, idleAck0), recordLine(sentAck1, idleAck1)},
                           {command(0), command(1)},
                           {{bytes("020B20010000000000032A"), {}},
                            {bytes("020B21010000000000032B"), {}}},
                           0},
                ReplayCase{"NoResponseAndNoReplyYetGetNothing",
                           {recordLine(sentAck0, noResponse),
                            recordLine(sentAck0, "", "no reply yet")},
                           {command(0), command(0)},
                           {{}, {}},
                           0},
                ReplayCase{"BadFramesComeAsTheyCame",
                           {recordLine(sentAck0, noResponse,
                                       "bad checksum: 02 0B 20 01 00 00 00 00 00 03 2B"),
                            recordLine(sentAck0, noResponse,
                                       "bad frame: 02 0B 20 01 00 00 00 00 00 04 2A")},
                           {command(0), command(0)},
                           {{bytes("020B20010000000000032B"), {}},
                            {bytes("020B20010000000000042A"), {}}},
                           0},
                ReplayCase{
                        "ASecondReplyFollowsItsFrame",
                        {recordLine(sentAck0, idleAck0), recordLine("", stacked3, "second reply")},
                        {command(0)},
                        {{bytes("020B20010000000000032A"), {bytes("020B201100180000000322")}}},
                        0},
                ReplayCase{"CommentsBlankLinesAndUnsentFramesAreSkipped",
                           {"# a bench in Lyon", "",
                            recordLine(" 02 08 00 00 00 00 03 00    ", "",
                                       "nothing sent: no frame built yet; no reply yet"),
                            recordLine("", idleAck0, "reply with no frame sent"),
                            recordLine(sentAck0, idleAck0)},
                           {command(0), command(1)},
                           {{bytes("020B20010000000000032A"), {}}, {}},
                           0},
                ReplayCase{"TheRunnersTextSummaryIsSkipped",
                           {recordLine(sentAck0, idleAck0),
                            "Channel     Value  Quantity      Amount",
                            "      1         1         0           0", "Frames sent           1"},
                           {command(0), command(1)},
                           {{bytes("020B20010000000000032A"), {}}, {}},
                           0},
                ReplayCase{"TheRunnersJsonSummaryIsSkipped",
                           {recordLine(sentAck0, idleAck0), R"({"badChecksums":0,"frames":1})"},
                           {command(0)},
                           {{bytes("020B20010000000000032A"), {}}},
                           0},
                ReplayCase{"ADifferentCommandStillGetsTheRecordedReply",
                           {recordLine(sentAck0, idleAck0)},
                           {command(1)},
                           {{bytes("020B20010000000000032A"), {}}},
                           1}),
        [](const testing::TestParamInfo<ReplayCase> &info) { return info.param.name; });

TEST(RecordReplay, SaysWhichLineIsNotARecordLine)
{
    RecordReplay replay;
    QString error;
    EXPECT_FALSE(
            replay.parse({recordLine(sentAck0, idleAck0), "whatever this is, it is long"}, &error));
    EXPECT_EQ(error, "line 2 is not a line of a traffic record");
    EXPECT_FALSE(replay.load(QTemporaryDir().filePath("missing.txt"), &error));
    EXPECT_TRUE(error.contains("missing.txt: ")) << qPrintable(error);
}

TEST(RecordReplay, StatusCountsWhatWasPlayed)
{
    RecordReplay replay;
    QString error;
    ASSERT_TRUE(
            replay.parse({recordLine(sentAck0, idleAck0), recordLine(sentAck1, idleAck1)}, &error));
    replay.receive(command(0));
    EXPECT_EQ(replay.played(), 1);
    EXPECT_EQ(replay.frames(), 2);
    EXPECT_EQ(replay.status(), "replayed 1 of 2 frames, 0 differed from the record");
}

} // namespace
