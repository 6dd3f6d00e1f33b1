// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/frames.h"
#include "tests/support/printers.h"
#include "window/model/acceptancestatistics.h"

#include <QJsonArray>

#include <gtest/gtest.h>

namespace {

using Event = AcceptanceStatistics::Event;
using State = AcceptanceStatistics::State;

enum Fault { Good, BadChecksum, BadEnd, NotCounted };

// One entry of a recorded conversation: a frame sent with the reply that came for it after
// `latency` ms (none when negative), or with send false a reply on its own.
struct Step
{
    bool send;
    int control, d0, d1, d2;
    int latency;
    Fault fault = Good;
};

constexpr int ch(int channel)
{
    return channel << 3;
}

// A batch of notes with every outcome, repeated replies and line faults; the counts below are
// worked out by hand from it.
const Step batch[] = {
        {true, 0x20, 0x01, 0, 0x01, 12}, // idling, power up
        {true, 0x21, 0x02, 0, ch(3), 12}, // note 3 accepting
        {true, 0x21, 0x02, 0, ch(3), 12}, // the same reply again: not a new report
        {true, 0x20, 0x04, 0, ch(3), 12}, // escrowed
        {true, 0x21, 0x08, 0, ch(3), 12}, // stacking
        {true, 0x20, 0x11, 0, ch(3), 13}, // stacked
        {true, 0x20, 0x11, 0, ch(3), 12}, // repeated: counted once
        {true, 0x21, 0x02, 0, ch(5), 12}, // note 5 accepting
        {true, 0x20, 0x04, 0, ch(5), 12}, // escrowed
        {true, 0x21, 0x20, 0, ch(5), 12}, // returning
        {true, 0x20, 0x41, 0, ch(5), 14}, // returned
        {true, 0x21, 0x02, 0, 0, 12}, // a note accepting, its channel not yet known
        {true, 0x20, 0x02, 0, ch(2), 12}, // now named: note 2 accepting, counted once
        {true, 0x21, 0x01, 0x02, 0, 12}, // rejected, not named: note 2
        {true, 0x20, 0x01, 0, 0, -1}, // no reply
        {true, 0x20, 0x00, 0x04, 0, 5, BadChecksum}, // jammed, corrupt
        {false, 0x20, 0x00, 0x04, 0, 12}, // jammed, the good copy
        {true, 0x21, 0x00, 0x0C, 0x02, 12}, // still jammed, stacker full, invalid command
        {true, 0x20, 0x01, 0x01, 0x04, 20}, // cheated and failure
        {true, 0x21, 0x11, 0, ch(1), 12, BadEnd}, // stacked, but no good reply: not counted
        {true, 0x21, 0x11, 0, 0x01 | ch(4), 35}, // stacked with power up: no note stacked
        {false, 0x21, 0x11, 0, 0x01 | ch(4), 40}, // its second copy: an extra reply
        {true, 0x20, 0x11, 0, ch(6), 12, NotCounted}, // stacked where the tally counts none
};

ValidatorReply reply(const Step &step)
{
    QByteArray frame = Frames::reply({step.d0, step.d1, step.d2}, step.control);
    if (step.fault == BadChecksum)
        frame = Frames::badChecksum(frame);
    if (step.fault == BadEnd)
        frame[9] = 0x00;
    return Frames::replyValue(frame);
}

// The steps as a traffic record and the statistics following it take them, each reply reported
// as the receive side reports it: decoded after the good reply before, and a stacked note counted
// as the tally counts it, once per frame sent.
class Played
{
public:
    Played() { statistics.followRecord(&record, &context); }

    void play(const Step *steps, size_t count)
    {
        for (size_t i = 0; i < count; ++i) {
            const Step &step = steps[i];
            if (step.send) {
                now += 100;
                sent = now;
                HostCommand command;
                command.frameText = QByteArray::number(now);
                record.addCommand(command, sent, sent);
                countedThisFrame = false;
            }
            if (step.latency < 0)
                continue;
            ReplyReport report = reportReply(reply(step), {}, lastGood);
            report.wallMs = report.steadyMs = sent + step.latency;
            report.stackedNote = report.newReport && report.decoded.stacked()
                                 && step.fault != NotCounted && !countedThisFrame;
            countedThisFrame = countedThisFrame || report.stackedNote;
            if (report.good)
                lastGood = report.reply;
            statistics.addReport(report);
            record.addReply(report);
        }
    }

    QObject context;
    TrafficRecord record;
    AcceptanceStatistics statistics;

private:
    qint64 now = 0;
    qint64 sent = 0;
    ValidatorReply lastGood;
    bool countedThisFrame = false;
};

TEST(AcceptanceStatistics, CountsABatchOfNotes)
{
    Played played;
    played.play(batch, std::size(batch));
    const AcceptanceStatistics &statistics = played.statistics;

    struct Expected
    {
        int channel, accepting, escrowed, stacked, returned, rejected;
        double rate; // -1: no outcome
    };
    for (const Expected &e : {Expected{1, 0, 0, 0, 0, 0, -1}, Expected{2, 1, 0, 0, 0, 1, 0},
                              Expected{3, 1, 1, 1, 0, 0, 1}, Expected{4, 0, 0, 0, 0, 0, -1},
                              Expected{5, 1, 1, 0, 1, 0, 0}, Expected{6, 0, 0, 0, 0, 0, -1},
                              Expected{0, 3, 2, 1, 1, 1, 1 / 3.0}}) {
        SCOPED_TRACE(e.channel);
        const ChannelFigures f = e.channel ? statistics.channel(e.channel) : statistics.total();
        EXPECT_EQ((std::array{f.accepting, f.escrowed, f.stacked, f.returned, f.rejected}),
                  (std::array{e.accepting, e.escrowed, e.stacked, e.returned, e.rejected}));
        EXPECT_DOUBLE_EQ(f.acceptanceRate().value_or(-1), e.rate);
    }

    const int events[] = {2, 1, 1, 1, 1, 1, 3}; // power up .. stacked
    for (int i = 0; i < AcceptanceStatistics::eventKinds; ++i)
        EXPECT_EQ(statistics.events(Event(i)), events[i]) << i;
    EXPECT_EQ(statistics.statesEntered(State::Jammed), 1);
    EXPECT_EQ(statistics.statesEntered(State::StackerFull), 1);
    EXPECT_EQ(statistics.statesEntered(State::Calibration), 0);

    const AcceptanceStatistics::Line &l = statistics.line();
    EXPECT_EQ((std::array{l.frames, l.replies, l.noResponses, l.badChecksums, l.framingFailures,
                          l.extraReplies}),
              (std::array{21, 19, 2, 1, 2, 1}));

    // 15 replies at 12 ms, then 13, 14, 20 and 35: the extra reply and the corrupt copy are
    // not replies to their frames. Percentiles by nearest rank.
    EXPECT_EQ(statistics.latencySamples(), 19);
    EXPECT_EQ(statistics.latencyPercentile(0.5), 12);
    EXPECT_EQ(statistics.latencyPercentile(0.9), 20);
    EXPECT_EQ(statistics.worstLatency(), 35);
}

TEST(AcceptanceStatistics, OneStackedNotePerFrameBuilt)
{
    // The stacked report comes again after another reply, all for one frame: two reports, one
    // note, as the tally counts it. The next frame's stacked report is a note again.
    const Step steps[] = {{true, 0x20, 0x11, 0, ch(6), 12},
                          {false, 0x21, 0x01, 0, 0, 14},
                          {false, 0x20, 0x11, 0, ch(6), 16},
                          {true, 0x21, 0x11, 0, ch(6), 12}};
    Played played;
    played.play(steps, std::size(steps));
    const AcceptanceStatistics &statistics = played.statistics;
    EXPECT_EQ(statistics.events(Event::Stacked), 3);
    EXPECT_EQ(statistics.channel(6).stacked, 2);
}

// A reject reported at idle names no channel and follows no note: a row of its own, so that
// TOTAL is the sum of the rows shown, in the text and in JSON.
TEST(AcceptanceStatistics, AnOutcomeOfNoChannelHasItsOwnRow)
{
    const Step steps[] = {{true, 0x20, 0x01, 0, 0, 12},
                          {true, 0x21, 0x02, 0, ch(3), 12},
                          {true, 0x20, 0x11, 0, ch(3), 12},
                          {true, 0x21, 0x01, 0x02, 0, 12}};
    Played played;
    const AcceptanceStatistics &statistics = played.statistics;
    played.play(steps, 3);
    EXPECT_FALSE(statistics.hasUnattributed());
    EXPECT_EQ(statistics.json()["notes"].toArray().size(), 7);
    played.play(steps + 3, 1);
    const QStringList rows = statistics.notesText().split('\n');
    EXPECT_EQ(rows[3], "      3          1         0         1         0         0   100.0 %");
    EXPECT_EQ(
            rows.mid(8, 2),
            QStringList({"      -          0         0         0         0         1     0.0 %",
                         "  TOTAL          1         0         1         0         1    50.0 %"}));
    const QJsonArray notes = statistics.json()["notes"].toArray();
    ASSERT_EQ(notes.size(), 8);
    EXPECT_EQ(notes[7].toObject()["channel"].toString(), "unknown");
    EXPECT_EQ(notes[7].toObject()["rejected"].toInt(), 1);
    EXPECT_EQ(statistics.json()["notesTotal"].toObject()["rejected"].toInt(), 1);
}

TEST(AcceptanceStatistics, ResetStartsAgainButKnowsTheLastReply)
{
    Played played;
    AcceptanceStatistics &statistics = played.statistics;
    played.play(batch, std::size(batch));
    statistics.reset();
    EXPECT_EQ(statistics.total().accepting, 0);
    EXPECT_EQ(statistics.events(Event::PowerUp), 0);
    EXPECT_EQ(statistics.latencyPercentile(0.5), std::nullopt);

    const Step again[] = {{true, 0x20, 0x11, 0, ch(6), 12}, {true, 0x21, 0x11, 0, ch(6), 12}};
    played.play(again, std::size(again));
    EXPECT_EQ(statistics.events(Event::Stacked), 1);
    EXPECT_EQ(statistics.channel(6).stacked, 1);
    EXPECT_EQ(statistics.line().frames, 2);
}

} // namespace
