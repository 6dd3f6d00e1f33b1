// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/console.h"
#include "sim/notefeeder.h"
#include "sim/scriptplayer.h"
#include "tests/support/frames.h"
#include "tests/support/simulatedvalidator.h"

#include <QSet>
#include <QSignalSpy>

using Frames::command;

namespace {

class ConsoleTest : public testing::Test
{
protected:
    SimulatedValidator validator;
    ValidatorEngine &engine = validator.engine;
    Console console{engine, validator.line};
    QSignalSpy output{&console, &Console::output};
    QSignalSpy errors{&console, &Console::error};
};

// A fault shows from the next new reply on, not in a repeat; a lasting one until cleared.
TEST_F(ConsoleTest, EachFaultShowsFromTheNextNewReplyOn)
{
    const std::tuple<const char *, int, int, bool> faults[] = {
            {"jam", 4, 0x04, true},      {"full", 4, 0x08, true},    {"calibrate", 4, 0x40, true},
            {"cheat", 4, 0x01, false},   {"reject", 4, 0x02, false}, {"failure", 5, 0x04, false},
            {"powerup", 5, 0x01, false}, {"JAM", 4, 0x04, true}};
    int control = 0x10;
    engine.answer(command(control));
    for (const auto &[word, byte, mask, lasting] : faults) {
        SCOPED_TRACE(word);
        const QByteArray before = engine.answer(command(control ^= 1));
        EXPECT_TRUE(console.execute(QString::fromLatin1(word)));
        EXPECT_EQ(engine.answer(command(control)), before) << "a repeat is the reply before";
        EXPECT_EQ(quint8(engine.answer(command(control ^= 1))[byte]) & mask, mask);
        EXPECT_EQ(quint8(engine.answer(command(control ^= 1))[byte]) & mask, lasting ? mask : 0);
        EXPECT_EQ(engine.readyForNote(), !lasting);
        EXPECT_TRUE(console.execute(QStringLiteral("clear")));
        EXPECT_EQ(quint8(engine.answer(command(control ^= 1))[3]), 0x01);
    }
    EXPECT_EQ(errors.size(), 0);
}

TEST_F(ConsoleTest, BadCommandsAreReportedAndChangeNothing)
{
    const std::pair<const char *, const char *> cases[] = {
            {"bogus", "unknown command: bogus"},
            {"Bogus 3", "unknown command: Bogus"},
            {"wait 10", "unknown command: wait"},
            {"jam now", "jam: takes no argument"},
            {"status please", "status: takes no argument"},
            {"insert", "insert: give a channel from 1 to 7"},
            {"insert 0", "insert: give a channel from 1 to 7"},
            {"insert 8", "insert: give a channel from 1 to 7"},
            {"insert x", "insert: give a channel from 1 to 7"},
            {"insert 3 4", "insert: give a channel from 1 to 7"}};
    for (const auto &[bad, error] : cases) {
        EXPECT_FALSE(console.execute(QString::fromLatin1(bad))) << bad;
        ASSERT_FALSE(errors.isEmpty()) << bad;
        EXPECT_EQ(errors.takeFirst().at(0).toString(), error);
        EXPECT_TRUE(engine.readyForNote()) << bad;
    }
    EXPECT_EQ(output.size(), 0);
    EXPECT_EQ(quint8(engine.answer(command(0x10))[4]), 0x00);

    EXPECT_TRUE(console.execute(QStringLiteral("  insert   7 ")));
    EXPECT_FALSE(console.execute(QStringLiteral("insert 4")));
    EXPECT_EQ(errors.takeFirst().at(0).toString(), "insert: the validator cannot take a note now");
}

TEST_F(ConsoleTest, StatusCountsCommandsAndRepliesOnTheLine)
{
    QSerialPort host;
    ASSERT_TRUE(validator.openHost(host));
    console.execute(QStringLiteral("drop"));
    host.write(command(0x10) + command(0x10));
    EXPECT_EQ(readAtLeast(host, 11).size(), 11);
    console.execute(QStringLiteral("status"));
    EXPECT_EQ(output.value(0).value(0).toString(), "commands 2 replies 1 stacked 0 returned 0");
}

TEST_F(ConsoleTest, AScriptWaitsBetweenCommandsAndSkipsABadWait)
{
    ScriptPlayer script(console);
    QSignalSpy finished(&script, &ScriptPlayer::finished);
    QSignalSpy scriptErrors(&script, &ScriptPlayer::error);
    script.setLines({"insert 2", "", "wait", "wait -5", "wait soon", "wait 20", "jam", "# end"});
    script.start();
    EXPECT_FALSE(engine.readyForNote()) << "the command before the wait ran at once";
    EXPECT_EQ(scriptErrors.size(), 3);
    ASSERT_TRUE(script.waiting());
    EXPECT_EQ(quint8(engine.answer(command(0x10))[4]) & 0x04, 0) << "the jam waits";
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(quint8(engine.answer(command(0x11))[4]) & 0x04, 0x04);
    EXPECT_EQ(errors.size(), 0) << "blank lines and comments are no commands";
}

TEST(NoteFeeder, PicksOnlyChannelsTheHostEnabled)
{
    ValidatorEngine engine;
    NoteFeeder feeder(engine, 1234);
    EXPECT_EQ(feeder.feed(), 0) << "nothing enabled before the first command";
    engine.answer(command(0x10, 0x14)); // channels 3 and 5
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
