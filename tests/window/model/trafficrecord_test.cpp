// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/frames.h"
#include "tests/support/handpacedmodel.h"
#include "tests/support/printers.h"
#include "window/model/trafficrecord.h"
#ifdef Q_OS_LINUX
#include "tests/support/filesizelimit.h"
#endif

#include <QDateTime>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

using Frames::replyValue;

constexpr qint64 noon = 1714564800000; // 2024-05-01T12:00:00Z

HostCommand frame(int control)
{
    return HostCommand{Frames::command(control)};
}

// A record line with its time of day, which depends on the time zone, left out.
QString withoutTime(const QString &line)
{
    return line.left(75) + "<time>" + line.mid(104);
}

const ValidatorReply idle = replyValue(Frames::reply({0x01}));
const ValidatorReply stacked5 = replyValue(Frames::reply({0x10, 0, 5 << 3}));
const ValidatorReply badIdle = replyValue(Frames::badChecksum(Frames::reply({0x02})));

// The reply as the receive side reports it, read `ms` after noon.
ReplyReport report(const ValidatorReply &reply, qint64 ms)
{
    ReplyReport report = reportReply(reply, {}, {});
    report.wallMs = noon + ms;
    report.steadyMs = ms;
    return report;
}

enum Kind { Send, SendNothing, Reply, BadReply, SecondOfARead, Dropped, Stray, TimeOut, PortLost };

struct Event
{
    Kind kind;
    int ms; // after noon
    ValidatorReply reply = idle;
    const char *bytes = ""; // Dropped, Stray
};

struct RecordCase
{
    const char *name;
    QList<Event> events;
    const char *lastLine; // without its time
    // frames, replies, no responses, bad checksums, framing failures, extra replies, stray bytes
    std::array<qint64, 7> counts;
};

void PrintTo(const RecordCase &c, std::ostream *out)
{
    *out << c.name;
}

class TrafficRecordCases : public testing::TestWithParam<RecordCase>
{ };

TEST_P(TrafficRecordCases, LastLineAndCounts)
{
    const RecordCase &c = GetParam();
    TrafficRecord record;
    for (const Event &e : c.events) {
        switch (e.kind) {
        case Send:
        case SendNothing:
            record.addCommand(e.kind == Send ? frame(0x10) : HostCommand{}, noon + e.ms, e.ms);
            break;
        case Reply:
        case BadReply:
            record.addReply(report(e.reply, e.ms));
            break;
        case SecondOfARead:
            record.addSecondReply(report(e.reply, e.ms));
            break;
        case Dropped:
        case Stray:
            record.addDropped(Frames::hex(e.bytes), e.kind == Dropped, e.kind == Stray, noon + e.ms);
            break;
        case TimeOut:
            record.timeOut();
            break;
        case PortLost:
            record.portLost();
            break;
        }
    }
    EXPECT_EQ(withoutTime(record.lines().last()), c.lastLine);
    const TrafficCounts &n = record.counts();
    EXPECT_EQ((std::array<qint64, 7>{n.frames, n.replies, n.noResponses, n.badChecksums,
                                     n.framingFailures, n.extraReplies, n.strayBytes}),
              c.counts);
}

INSTANTIATE_TEST_SUITE_P(
        Kinds, TrafficRecordCases,
        testing::Values(
                RecordCase{"Answered",
                           {{Send, 0}, {Reply, 21, stacked5}},
                           " 02 08 10 7F 10 00 03 77       02 0B 20 10 00 28 00 00 00 03 13     5 "
                           "STD  <time>     21 ms  -             STACKED",
                           {1, 1, 0, 0, 0, 0, 0}},
                RecordCase{"NoReplyBeforeTheNextSend",
                           {{Send, 0}, {Send, 100}, {Reply, 120}, {Send, 200}, {TimeOut, 0}},
                           " 02 08 10 7F 10 00 03 77             NO RESPONSE!  TIMEOUT             "
                           "    <time>         -  -             -",
                           {3, 1, 2, 0, 0, 0, 0}},
                RecordCase{"StillWaiting",
                           {{Send, 0}},
                           " 02 08 10 7F 10 00 03 77                                               "
                           "    <time>         -  -             -            # no reply yet",
                           {1, 0, 0, 0, 0, 0, 0}},
                RecordCase{"BadChecksumStandsAsNoResponse",
                           {{Send, 0}, {BadReply, 15, badIdle}},
                           " 02 08 10 7F 10 00 03 77             NO RESPONSE!  TIMEOUT             "
                           "    <time>     15 ms  -             -            # bad checksum: 02 0B "
                           "20 02 00 00 00 00 00 03 28",
                           {1, 0, 0, 1, 1, 0, 0}},
                RecordCase{"GoodReplyAfterABadOne",
                           {{Send, 0}, {BadReply, 15, badIdle}, {Reply, 30, stacked5}},
                           " 02 08 10 7F 10 00 03 77       02 0B 20 10 00 28 00 00 00 03 13     5 "
                           "STD  <time>     30 ms  -             STACKED",
                           {1, 1, 0, 1, 1, 0, 0}},
                RecordCase{"SecondReplyToOneFrame",
                           {{Send, 0}, {Reply, 20}, {Reply, 40, stacked5}},
                           "                               02 0B 20 10 00 28 00 00 00 03 13     5 "
                           "STD  <time>     40 ms  -             STACKED      # second reply",
                           {1, 1, 0, 0, 0, 1, 0}},
                RecordCase{"SecondReplyOfOneRead",
                           {{Send, 0}, {Reply, 20}, {SecondOfARead, 20, stacked5}},
                           "                               02 0B 20 10 00 28 00 00 00 03 13     5 "
                           "STD  <time>     20 ms  -             STACKED      # second reply",
                           {1, 1, 0, 0, 0, 1, 0}},
                RecordCase{"BrokenReplyStandsWithItsFrame",
                           {{Send, 0}, {Dropped, 10, idle, "02 0B 20 01 00 00 00 00"}, {TimeOut, 0}},
                           " 02 08 10 7F 10 00 03 77             NO RESPONSE!  TIMEOUT             "
                           "    <time>         -  -             -            # bad frame: 02 0B 20 "
                           "01 00 00 00 00",
                           {1, 0, 1, 0, 1, 0, 0}},
                RecordCase{"StrayBytesStandWithTheReply",
                           {{Send, 0}, {Stray, 21, idle, "55 AA"}, {Reply, 21, stacked5}},
                           " 02 08 10 7F 10 00 03 77       02 0B 20 10 00 28 00 00 00 03 13     5 "
                           "STD  <time>     21 ms  -             STACKED      # stray bytes: 55 AA",
                           {1, 1, 0, 0, 0, 0, 2}},
                RecordCase{"NoiseBeforeAnyFrame",
                           {{BadReply, 0,
                             replyValue(Frames::hex("02 0B 20 01 00 00 00 00 00 04 2A"))}},
                           "                                                                       "
                           "    <time>         -  -             -            # stray bytes: 02 0B "
                           "20 01 00 00 00 00 00 04 2A",
                           {0, 0, 0, 0, 0, 0, 11}},
                RecordCase{"PortLostWhileAFrameWaits",
                           {{Send, 0}, {PortLost, 5}},
                           " 02 08 10 7F 10 00 03 77             NO RESPONSE!  TIMEOUT             "
                           "    <time>         -  -             -            # port lost",
                           {1, 0, 1, 0, 0, 0, 0}},
                RecordCase{"NothingSentBeforeTheFirstBuild",
                           {{SendNothing, 0}},
                           " 02 08 00 00 00 00 03 00                                               "
                           "    <time>         -  -             -            # nothing sent: no "
                           "frame built yet; no reply yet",
                           {1, 0, 0, 0, 0, 0, 0}}),
        [](const testing::TestParamInfo<RecordCase> &info) { return info.param.name; });

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
        record.addCommand(frame(0x10 | (i & 1)), noon + i * 100, i * 100);
        record.addReply(report(idle, i * 100 + 20));
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
    // A file that fills up in the middle of a line keeps its whole lines only.
    QTemporaryDir dir;
    const QString path = dir.filePath("record.txt");
    ASSERT_TRUE(record.startRecording(path, &error));
    {
        const FileSizeLimit limit(200);
        for (int i = 0; i < 2; ++i) {
            record.addCommand(frame(0x10), noon, 1000);
            record.addReply(report(idle, 1020));
        }
    }
    ASSERT_EQ(failed.size(), 1);
    EXPECT_EQ(failed[0][0].toString(), path + ": File too large");
    EXPECT_FALSE(record.recording());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_EQ(text.count('\n'), 1);
    EXPECT_TRUE(text.endsWith('\n'));
}
#endif

// The record follows the model: what the log's sixteen rows showed stays in it after they
// scrolled, and after a run start emptied them.
TEST(TrafficRecord, KeepsWhatTheLogScrolledAwayAndWhatARunStartEmptied)
{
    HandPacedModel h;
    TrafficRecord record;
    record.follow(&h.model);
    h.model.setRunSwitch(true);
    for (int i = 1; i < 20; ++i) {
        if (i % 7 != 0) // frames 7 and 14 get no reply
            h.line.push(Frames::reply({0x01}));
        h.model.SendCommand();
    }
    h.line.push(Frames::reply({0x01}));
    ASSERT_EQ(record.size(), 20);
    EXPECT_EQ(record.lines()[10].left(73), h.model.log().sent(6) + "  " + h.model.log().reply(6));
    EXPECT_EQ(record.counts().noResponses, 2);
    h.model.setRunSwitch(false);
    h.model.setRunSwitch(true);
    h.line.push(Frames::reply({0x01}));
    EXPECT_EQ(record.size(), 21) << "a run start empties the log, not the record";
    EXPECT_EQ(record.counts().replies, 19);
}

} // namespace
