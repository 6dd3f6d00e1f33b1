#include "comport.h"
#include "pseudoterminal.h"
#include "qtserialline.h"
#include "recordreplay.h"
#include "testermodel.h"
#include "trafficrecord.h"
#include "validatorengine.h"
#include "validatorline.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

// A conversation recorded against the simulated validator, played back to a second tester:
// the second tester's log shows the same lines.
namespace {

constexpr int patience = 10000; // ms

// The validator's end of a pseudo-terminal linked as COM1 of a folder, answering from a source.
struct FarEnd
{
    FarEnd(ReplySource &source, const QString &folder)
        : line(source, &pty)
    {
        EXPECT_TRUE(pty.openPair());
        QDir(folder).mkpath("ports");
        EXPECT_TRUE(QFile::link(pty.slaveName(), comPortLink(1, folder)));
        line.setFast(true);
        QObject::connect(&line, &ValidatorLine::received, [this] { ++frames; });
        QObject::connect(&line, &ValidatorLine::sent, [this] { ++replies; });
    }

    PseudoTerminal pty;
    ValidatorLine line;
    int frames = 0;
    int replies = 0;
};

// The tester's model on COM1 of a folder, with its record.
struct Tester
{
    explicit Tester(const QString &folder)
        : line(folder)
        , model(&line, HighColour)
    {
        model.setPortText("1");
        model.setComPort(1);
        model.markPortForReopen();
        model.setIntervalText("65535"); // sends only by hand
        for (int i = 0; i < 7; ++i)
            model.setChannelState(i, 1);
        model.setEscrow(true);
        model.ValueChg();
        model.clickModeButton();
        record.follow(&model);
    }

    // Sends `count` frames, each once the validator has answered the one before (or dropped
    // its reply); beforeSend(n) runs before frame n + 1.
    void converse(FarEnd &end, int count, const std::function<void(int)> &beforeSend)
    {
        for (int sent = 0; sent < count; ++sent) {
            if (sent > 0) {
                ASSERT_TRUE(QTest::qWaitFor([&] { return quiet(end, sent); }, patience)) << sent;
            }
            beforeSend(sent);
            if (sent == 0)
                model.setRunSwitch(true);
            else
                model.SendCommand();
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return quiet(end, count); }, patience));
    }

    // The validator has every frame sent, and every reply it wrote has reached the record.
    bool quiet(const FarEnd &end, int sent) const
    {
        int replies = 0;
        for (int i = 0; i < record.size(); ++i)
            replies += record.at(i).reply.has_value();
        return end.frames == sent && replies == end.replies;
    }

    QStringList logRows() const
    {
        QStringList rows;
        for (int i = 0; i < TrafficLog::rows; ++i)
            rows << model.log().sent(i) + '|' + model.log().reply(i);
        return rows;
    }

    QStringList recordColumns() const
    {
        QStringList columns;
        for (const QString &line : record.lines())
            columns << line.left(73);
        return columns;
    }

    QtSerialLine line;
    TesterModel model;
    TrafficRecord record;
};

TEST(Replay, AReplayedRecordProducesTheSameLogLines)
{
    constexpr int frames = 20;
    QTemporaryDir benchFolder;
    ValidatorEngine engine;
    FarEnd bench(engine, benchFolder.path());
    Tester original(benchFolder.path());
    original.converse(bench, frames, [&](int sent) {
        if (sent == 1)
            engine.insertNote(3);
        if (sent == 10)
            bench.line.inject(ValidatorLine::Fault::Drop);
        if (sent == 13)
            bench.line.inject(ValidatorLine::Fault::Corrupt);
    });
    ASSERT_EQ(engine.stacked(), 1);
    ASSERT_EQ(original.record.counts().noResponses, 2) << "the dropped and the corrupt reply";
    const QString path = benchFolder.filePath("record.txt");
    QString error;
    ASSERT_TRUE(original.record.save(path, &error)) << qPrintable(error);

    QTemporaryDir officeFolder;
    RecordReplay replay;
    ASSERT_TRUE(replay.load(path, &error)) << qPrintable(error);
    FarEnd office(replay, officeFolder.path());
    Tester replayed(officeFolder.path());
    replayed.converse(office, frames, [](int) {});

    EXPECT_EQ(replayed.logRows(), original.logRows());
    EXPECT_EQ(replayed.recordColumns(), original.recordColumns());
    EXPECT_EQ(replay.played(), frames);
    EXPECT_EQ(replay.differing(), 0);
    EXPECT_EQ(replayed.model.tally().amount(NoteTally::totalRow), "5");
}

} // namespace
