#include "console.h"
#include "linefixture.h"
#include "notefeeder.h"
#include "scriptplayer.h"
#include "testframes.h"

#include <QSet>

using TestFrames::command;

namespace {

class ConsoleTest : public LineFixture
{
protected:
    Console console{engine, line};
    QSignalSpy output{&console, &Console::output};
    QSignalSpy errors{&console, &Console::error};
};

TEST_F(ConsoleTest, EachFaultWordSetsItsBitInTheNextNewReply)
{
    struct Case
    {
        const char *word;
        int byte;
        int mask;
    };
    const Case cases[] = {{"jam", 4, 0x04},       {"full", 4, 0x08},    {"cheat", 4, 0x01},
                          {"reject", 4, 0x02},    {"failure", 5, 0x04}, {"powerup", 5, 0x01},
                          {"calibrate", 4, 0x40}, {"JAM", 4, 0x04}};
    int ack = 0;
    engine.answer(command(ack));
    for (const Case &c : cases) {
        EXPECT_TRUE(console.execute(QString::fromLatin1(c.word)));
        const QByteArray reply = engine.answer(command(ack ^= 1));
        EXPECT_EQ(quint8(reply[c.byte]) & c.mask, c.mask) << c.word;
        EXPECT_TRUE(console.execute(QStringLiteral("clear")));
        EXPECT_EQ(quint8(engine.answer(command(ack ^= 1))[3]), 0x01) << c.word;
    }
    EXPECT_EQ(errors.size(), 0);
}

TEST_F(ConsoleTest, InsertTakesOneChannelFromOneToSeven)
{
    for (const char *bad : {"insert", "insert 0", "insert 8", "insert x", "insert 3 4"}) {
        EXPECT_FALSE(console.execute(QString::fromLatin1(bad))) << bad;
        EXPECT_TRUE(engine.readyForNote()) << bad;
    }
    EXPECT_EQ(errors.size(), 5);
    EXPECT_TRUE(console.execute(QStringLiteral("  insert   3 ")));
    EXPECT_FALSE(engine.readyForNote());
    EXPECT_FALSE(console.execute(QStringLiteral("insert 4"))) << "busy with the first";
    EXPECT_EQ(errors.size(), 6);
}

TEST_F(ConsoleTest, UnknownCommandsAreReportedAndChangeNothing)
{
    const std::pair<const char *, const char *> cases[] = {
            {"bogus", "unknown command: bogus"},
            {"Bogus 3", "unknown command: Bogus"},
            {"wait 10", "unknown command: wait"},
            {"jam now", "jam: takes no argument"},
            {"status please", "status: takes no argument"}};
    for (const auto &[bad, error] : cases) {
        EXPECT_FALSE(console.execute(QString::fromLatin1(bad))) << bad;
        ASSERT_FALSE(errors.isEmpty());
        EXPECT_EQ(errors.takeFirst().at(0).toString(), error);
    }
    EXPECT_EQ(output.size(), 0);
    EXPECT_EQ(quint8(engine.answer(command(0))[4]), 0x00);
}

TEST_F(ConsoleTest, StatusCountsCommandsAndRepliesOnTheLine)
{
    console.execute(QStringLiteral("drop"));
    host.write(command(0));
    host.write(command(0));
    EXPECT_EQ(readAtLeast(11).size(), 11);
    console.execute(QStringLiteral("status"));
    ASSERT_EQ(output.size(), 1);
    EXPECT_EQ(output[0][0].toString(), QStringLiteral("commands 2 replies 1 stacked 0 returned 0"));
}

TEST_F(ConsoleTest, AScriptWaitsBetweenCommands)
{
    ScriptPlayer script(console);
    QSignalSpy finished(&script, &ScriptPlayer::finished);
    script.setLines({"insert 2", "", "wait 20", "jam", "# end"});
    script.start();
    EXPECT_FALSE(engine.readyForNote()) << "the command before the wait ran at once";
    ASSERT_TRUE(script.waiting());
    EXPECT_EQ(quint8(engine.answer(command(0))[4]) & 0x04, 0) << "the jam waits";
    ASSERT_TRUE(finished.wait(patience));
    EXPECT_EQ(quint8(engine.answer(command(1))[4]) & 0x04, 0x04);
    EXPECT_EQ(errors.size(), 0) << "blank lines and comments are no commands";
}

TEST_F(ConsoleTest, ABadWaitIsReportedAndSkipped)
{
    ScriptPlayer script(console);
    QSignalSpy scriptErrors(&script, &ScriptPlayer::error);
    QSignalSpy finished(&script, &ScriptPlayer::finished);
    script.setLines({"wait", "wait -5", "wait soon", "insert 1"});
    script.start();
    EXPECT_EQ(scriptErrors.size(), 3);
    EXPECT_EQ(finished.size(), 1);
    EXPECT_FALSE(engine.readyForNote());
}

TEST(NoteFeeder, PicksOnlyChannelsTheHostEnabled)
{
    ValidatorEngine engine;
    NoteFeeder feeder(engine, 1234);
    EXPECT_EQ(feeder.feed(), 0) << "nothing enabled before the first command";
    engine.answer(command(0, 0x14)); // channels 3 and 5
    QSet<int> seen;
    for (int i = 0; i < 60; ++i) {
        const int channel = feeder.feed();
        ASSERT_TRUE(channel == 3 || channel == 5) << channel;
        EXPECT_EQ(feeder.feed(), 0) << "busy with the note just inserted";
        seen.insert(channel);
        engine.clear();
    }
    EXPECT_EQ(seen.size(), 2);
}

} // namespace
