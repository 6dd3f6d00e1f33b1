#include "memoryline.h"
#include "testermodel.h"
#include "trafficlines.h"
#include "trafficrecord.h"
#ifdef Q_OS_LINUX
#include "filesizelimit.h"
#endif

#include <QDateTime>
#include <QSignalSpy>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace {

constexpr qint64 noon = 1714564800000; // 2024-05-01T12:00:00Z

ValidatorReply reply(quint8 d0, quint8 d1 = 0, quint8 d2 = 0, bool goodChecksum = true)
{
    ValidatorReply r;
    r.bytes = {0x02, 0x0B, 0x20, d0, d1, d2, 0, 0, 0, 0x03, 0};
    quint8 sum = 0;
    for (int i = 1; i <= 8; ++i)
        sum ^= r.bytes[i];
    r.bytes[10] = goodChecksum ? sum : sum ^ 0x01;
    return r;
}

HostCommand frame(qint16 control)
{
    HostCommand command;
    command.control = control;
    command.data0 = 0x7F;
    command.data1 = 0x10;
    command.checksum = qint16(0x08 ^ control ^ 0x7F ^ 0x10);
    command.frameText = QByteArray(8, '\x02');
    command.tag = QStringLiteral("   ");
    return command;
}

QByteArray bytes(const ValidatorReply &r)
{
    return QByteArray(reinterpret_cast<const char *>(r.bytes.data()), ValidatorReply::length);
}

// The columns of a record line: the log's two, then time, latency, state, event, remarks.
struct Columns
{
    explicit Columns(const QString &line)
        : sent(line.left(28))
        , reply(line.mid(30, 43).trimmed())
        , time(line.mid(75, 29))
        , latency(line.mid(106, 8).trimmed())
        , state(line.mid(116, 12).trimmed())
        , event(line.mid(130, 11).trimmed())
        , remarks(line.indexOf(" # ") > 0 ? line.mid(line.indexOf(" # ") + 3) : QString())
    { }

    QString sent, reply, time, latency, state, event, remarks;
};

struct RecordCase
{
    const char *name;
    std::function<void(TrafficRecord &)> play;
    QString reply; // the reply column of the last line
    QString latency;
    QString state;
    QString event;
    QString remarks;
    int frames, replies, noResponses, badChecksums, extraReplies;
};

void PrintTo(const RecordCase &c, std::ostream *os)
{
    *os << c.name;
}

class TrafficRecordCases : public testing::TestWithParam<RecordCase>
{ };

const ValidatorReply stacked5 = reply(0x10, 0, 5 << 3);
const QString stacked5Line = replyLine(stacked5, "   ", "5", "STD");

TEST_P(TrafficRecordCases, LastLineAndCounts)
{
    const RecordCase &c = GetParam();
    TrafficRecord record;
    c.play(record);
    const Columns last(record.lines().last());
    EXPECT_EQ(last.reply, c.reply.trimmed());
    EXPECT_EQ(last.latency, c.latency);
    EXPECT_EQ(last.state, c.state);
    EXPECT_EQ(last.event, c.event);
    EXPECT_EQ(last.remarks, c.remarks);
    const TrafficCounts &counts = record.counts();
    EXPECT_EQ(counts.frames, c.frames);
    EXPECT_EQ(counts.replies, c.replies);
    EXPECT_EQ(counts.noResponses, c.noResponses);
    EXPECT_EQ(counts.badChecksums, c.badChecksums);
    EXPECT_EQ(counts.extraReplies, c.extraReplies);
}

INSTANTIATE_TEST_SUITE_P(
        Kinds, TrafficRecordCases,
        testing::Values(
                RecordCase{"Answered",
                           [](TrafficRecord &r) {
                               r.addCommand(frame(0x10), noon, 1000);
                               r.addReply(stacked5, true, noon + 21, 1021);
                           },
                           stacked5Line, "21 ms", "-", "STACKED", "", 1, 1, 0, 0, 0},
                RecordCase{"NoReplyBeforeTheNextSend",
                           [](TrafficRecord &r) {
                               r.addCommand(frame(0x10), noon, 1000);
                               r.addCommand(frame(0x10), noon + 100, 1100);
                               r.addReply(reply(0x01), true, noon + 120, 1120);
                               r.addCommand(frame(0x11), noon + 200, 1200);
                               r.timeOut();
                           },
                           noResponseLine(), "-", "-", "-", "", 3, 1, 2, 0, 0},
                RecordCase{"StillWaiting",
                           [](TrafficRecord &r) { r.addCommand(frame(0x10), noon, 1000); }, "", "-",
                           "-", "-", "no reply yet", 1, 0, 0, 0, 0},
                RecordCase{"BadChecksumStandsAsNoResponse",
                           [](TrafficRecord &r) {
                               r.addCommand(frame(0x10), noon, 1000);
                               r.addReply(reply(0x02, 0, 0, false), false, noon + 15, 1015);
                           },
                           noResponseLine(), "15 ms", "-", "-",
                           "bad checksum: 02 0B 20 02 00 00 00 00 00 03 28", 1, 0, 0, 1, 0},
                RecordCase{"GoodReplyAfterABadOne",
                           [](TrafficRecord &r) {
                               r.addCommand(frame(0x10), noon, 1000);
                               r.addReply(reply(0x02, 0, 0, false), false, noon + 15, 1015);
                               r.addReply(stacked5, true, noon + 30, 1030);
                           },
                           stacked5Line, "30 ms", "-", "STACKED", "", 1, 1, 0, 1, 0},
                RecordCase{"SecondReplyToOneFrame",
                           [](TrafficRecord &r) {
                               r.addCommand(frame(0x10), noon, 1000);
                               r.addReply(reply(0x01), true, noon + 20, 1020);
                               r.addReply(stacked5, true, noon + 40, 1040);
                           },
                           stacked5Line, "40 ms", "-", "STACKED", "second reply", 1, 1, 0, 0, 1},
                RecordCase{"BadFrameBeforeAnyFrame",
                           [](TrafficRecord &r) {
                               ValidatorReply noEndByte = reply(0x01);
                               noEndByte.bytes[9] = 0x04;
                               r.addReply(noEndByte, false, noon, 1000);
                           },
                           noResponseLine(), "-", "-", "-",
                           "reply with no frame sent; bad frame: 02 0B 20 01 00 00 00 00 00 04 2A",
                           0, 0, 0, 0, 1},
                RecordCase{"NothingSentBeforeTheFirstBuild",
                           [](TrafficRecord &r) { r.addCommand(HostCommand{}, noon, 1000); }, "",
                           "-", "-", "-", "nothing sent: no frame built yet; no reply yet", 1, 0, 0,
                           0, 0}),
        [](const testing::TestParamInfo<RecordCase> &info) { return info.param.name; });

TEST(TrafficRecord, LineStartsWithTheLogsColumnsThenTheTimeOfTheSend)
{
    TrafficRecord record;
    record.addCommand(frame(0x10), noon, 1000);
    record.addReply(reply(0x01), true, noon + 25, 1025);
    const QString line = record.lines().first();
    EXPECT_TRUE(line.startsWith(sentFrameLine(frame(0x10)) + "  "
                                + replyLine(reply(0x01), "   ", " ", "   ") + "  "));
    EXPECT_EQ(Columns(line).time, TrafficRecord::formatTime(QDateTime::fromMSecsSinceEpoch(noon)));
    EXPECT_EQ(Columns(line).state, "IDLING");
    EXPECT_FALSE(line.endsWith(' '));
}

TEST(TrafficRecord, TimesCarryTheirOffsetFromUtc)
{
    const QDate day(2024, 5, 1);
    EXPECT_EQ(TrafficRecord::formatTime(QDateTime(day, QTime(12, 0, 0, 7), QTimeZone(7200))),
              "2024-05-01T12:00:00.007+02:00");
    EXPECT_EQ(TrafficRecord::formatTime(QDateTime(day, QTime(9, 5, 3, 120), QTimeZone(-19800))),
              "2024-05-01T09:05:03.120-05:30");
    EXPECT_EQ(TrafficRecord::formatTime(QDateTime(day, QTime(23, 59, 59, 999), QTimeZone::utc())),
              "2024-05-01T23:59:59.999+00:00");
}

TEST(TrafficRecord, KeepsTheNewestEntriesUpToItsCapacity)
{
    TrafficRecord record;
    record.setCapacity(3);
    for (int i = 0; i < 5; ++i) {
        record.addCommand(frame(qint16(0x10 | (i & 1))), noon + i * 100, i * 100);
        record.addReply(reply(0x01), true, noon + i * 100 + 20, i * 100 + 20);
    }
    ASSERT_EQ(record.size(), 3);
    EXPECT_EQ(record.at(0).time, noon + 200);
    EXPECT_EQ(record.counts().frames, 5);
    EXPECT_EQ(record.counts().replies, 5);
    EXPECT_EQ(TrafficRecord::defaultCapacity, 100000);
}

#ifdef Q_OS_LINUX
TEST(TrafficRecord, AFailedWriteStopsTheRecordingAndSaysWhy)
{
    TrafficRecord record;
    QSignalSpy failed(&record, &TrafficRecord::recordingFailed);
    QString error;
    ASSERT_TRUE(record.startRecording("/dev/full", &error)) << qPrintable(error);
    record.addCommand(frame(0x10), noon, 1000);
    record.addReply(reply(0x01), true, noon + 20, 1020);
    ASSERT_EQ(failed.size(), 1);
    EXPECT_EQ(failed[0][0].toString(), "/dev/full: No space left on device");
    EXPECT_FALSE(record.recording());

    // A file that fills up in the middle of a line keeps its whole lines only.
    QTemporaryDir dir;
    const QString path = dir.filePath("record.txt");
    ASSERT_TRUE(record.startRecording(path, &error));
    {
        const FileSizeLimit limit(200);
        for (int i = 0; i < 2; ++i) {
            record.addCommand(frame(0x10), noon, 1000);
            record.addReply(reply(0x01), true, noon + 20, 1020);
        }
    }
    ASSERT_EQ(failed.size(), 2);
    EXPECT_EQ(failed[1][0].toString(), path + ": File too large");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_EQ(text.count('\n'), 1);
    EXPECT_TRUE(text.endsWith('\n'));
}
#endif

// The record follows the model: what the sixteen rows showed stays in it after they scrolled,
// and after a run start emptied them.
class RecordedModel : public testing::Test
{
protected:
    RecordedModel()
        : model(&line, Colour256)
    {
        model.setPortText("1");
        model.setComPort(1);
        model.markPortForReopen();
        model.setIntervalText("65535"); // the tests send by hand
        model.setEscrow(true);
        model.ValueChg();
        model.clickModeButton();
        record.follow(&model);
    }

    // Every row of both columns, top to bottom, as the log shows them now.
    QStringList logRows() const
    {
        QStringList rows;
        for (int i = 0; i < TrafficLog::rows; ++i)
            rows << model.log().sent(i) + "|" + model.log().reply(i).trimmed();
        return rows;
    }

    QStringList recordRows(int from) const
    {
        QStringList rows;
        for (int i = from; i < record.size(); ++i) {
            const Columns columns(record.lines()[i]);
            rows << columns.sent + "|" + columns.reply;
        }
        return rows;
    }

    MemoryLine line;
    TesterModel model;
    TrafficRecord record;
};

TEST_F(RecordedModel, KeepsWhatTheLogScrolledAwayAndWhatARunStartEmptied)
{
    model.setRunSwitch(true);
    for (int i = 1; i < 20; ++i) {
        if (i % 7 != 0) // frames 7 and 14 get no reply
            line.push(bytes(reply(0x01)));
        model.SendCommand();
    }
    line.push(bytes(reply(0x01)));
    ASSERT_EQ(record.size(), 20);
    EXPECT_EQ(recordRows(4), logRows()) << "the last sixteen exchanges, as the log shows them";
    EXPECT_EQ(record.counts().noResponses, 2);

    model.setRunSwitch(false);
    model.setRunSwitch(true);
    line.push(bytes(reply(0x01)));
    ASSERT_EQ(record.size(), 21) << "a run start empties the log, not the record";
    EXPECT_EQ(recordRows(20), logRows().mid(0, 1));
    EXPECT_EQ(record.counts().frames, 21);
    EXPECT_EQ(record.counts().replies, 19);
}

TEST_F(RecordedModel, ASecondReplyToOneFrameHasALineOfItsOwn)
{
    model.setRunSwitch(true);
    line.push(bytes(reply(0x01)));
    line.push(bytes(stacked5));
    model.SendCommand();
    ASSERT_EQ(record.size(), 3);
    EXPECT_EQ(record.at(1).kind, TrafficExchange::Kind::SecondReply);
    EXPECT_EQ(Columns(record.lines()[1]).sent.trimmed(), "");
    EXPECT_EQ(Columns(record.lines()[1]).reply, stacked5Line.trimmed());
    EXPECT_EQ(model.log().reply(0), stacked5Line) << "the log overwrote the first reply";
    EXPECT_TRUE(record.awaitingReply());
}

} // namespace
