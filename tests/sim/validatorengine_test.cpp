// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/validatorengine.h"
#include "tests/support/frames.h"

#include <gtest/gtest.h>

using Frames::command;
using Frames::hex;

namespace {

// data0, data1 and data2 of a reply in hex, "010000" for plain idling.
QByteArray statusOf(const QByteArray &reply)
{
    return reply.mid(3, 3).toHex();
}

// Plays the host: every new command flips the ACK bit, as the tester does.
class Host
{
public:
    ValidatorEngine engine;

    QByteArray next(int data1 = 0x10, int data0 = 0x7F)
    {
        ack ^= 1;
        lastCommand = command(0x10 | ack, data0, data1);
        return engine.answer(lastCommand);
    }
    QByteArray repeat() { return engine.answer(lastCommand); }

private:
    int ack = 1; // the first command carries ACK 0
    QByteArray lastCommand;
};

TEST(ValidatorEngine, TheFirstReplyReportsPowerUpOnceWithTheCommandsAck)
{
    const std::pair<int, const char *> cases[] = {{0x10, "02 0B 20 01 00 01 00 00 00 03 2B"},
                                                  {0x11, "02 0B 21 01 00 01 00 00 00 03 2A"},
                                                  {0x40, "02 0B 20 01 00 01 00 00 00 03 2B"},
                                                  {0x41, "02 0B 21 01 00 01 00 00 00 03 2A"}};
    for (const auto &[control, expected] : cases) {
        ValidatorEngine engine;
        EXPECT_EQ(engine.answer(command(control)), hex(expected)) << control;
        EXPECT_EQ(engine.answer(command(control ^ 1)), Frames::reply({0x01}, 0x20 | (~control & 1)))
                << "the power-up is reported once";
    }
}

// The repeat rule: a command repeating the ACK bit gets the previous reply byte for byte, and
// an event in it is counted once.
TEST(ValidatorEngine, ARepeatedAckGetsTheSameBytesAndDoesNotAdvance)
{
    Host host;
    host.next();
    ASSERT_TRUE(host.engine.insertNote(1));
    const QByteArray accepting = host.next(0x00);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(host.repeat(), accepting);
    EXPECT_EQ(statusOf(host.next(0x00)), "020008") << "still the second accepting reply";
    EXPECT_EQ(statusOf(host.next(0x00)), "080008");
    const QByteArray stacked = host.next(0x00);
    EXPECT_EQ(stacked, hex("02 0B 20 11 00 08 00 00 00 03 32"));
    EXPECT_EQ(host.repeat(), stacked);
    EXPECT_EQ(host.engine.stacked(), 1);
    EXPECT_EQ(statusOf(host.next()), "010000");
    EXPECT_EQ(host.engine.commands(), 10);
}

TEST(ValidatorEngine, BytesThatAreNoGoodFrameGetNoReplyAndTheNextGoodOneDoes)
{
    const QByteArray good = command(0x10);
    const std::pair<const char *, QByteArray> cases[] = {
            {"start byte", hex("03 08 10 7F 10 00 03 77")},
            {"length byte", hex("02 09 10 7F 10 00 03 77")},
            {"end byte", hex("02 08 10 7F 10 00 04 77")},
            {"checksum", hex("02 08 10 7F 10 00 03 78")},
            {"data changed", hex("02 08 10 7E 10 00 03 77")},
            {"line noise", hex("55 AA 00 03 FF")},
            {"truncated frame", hex("02 08 10")}};
    for (const auto &[name, bad] : cases) {
        ValidatorEngine engine;
        const QList<Exchange> exchanges = engine.receive(bad + good);
        ASSERT_GE(exchanges.size(), 2) << name;
        for (qsizetype i = 0; i + 1 < exchanges.size(); ++i)
            EXPECT_TRUE(exchanges[i].reply.isEmpty()) << name;
        EXPECT_EQ(exchanges.last().received, good) << name;
        EXPECT_EQ(exchanges.last().reply, hex("02 0B 20 01 00 01 00 00 00 03 2B")) << name;
        EXPECT_EQ(engine.commands(), 1) << name;
    }

    ValidatorEngine engine;
    for (int i = 0; i < good.size() - 1; ++i)
        EXPECT_TRUE(engine.receive(good.mid(i, 1)).isEmpty()) << "byte " << i;
    EXPECT_EQ(engine.receive(good.right(1)).value(0).reply.size(), 11) << "answered on the last";
}

// A note from insertion to its end. Each step: the command's data1, then the reply's data0,
// data1 and data2, all in hex.
TEST(ValidatorEngine, NotePathsStepByStep)
{
    const struct
    {
        const char *name;
        int channel;
        int enabled; // data0 of every command
        const char *steps;
        int stacked;
        int returned;
    } paths[] = {
            {"no escrow stacks", 3, 0x7F, "00020018 00020018 00080018 00110018 00010000", 1, 0},
            {"escrow holds, then stacks", 5, 0x7F,
             "10020028 10020028 10040028 10040028 30080028 10110028 10010000", 1, 0},
            {"escrow returns", 2, 0x7F, "10020010 10020010 10040010 50200010 10410010 10010000", 0,
             1},
            // Stack and return at once is invalid: the note stays in escrow.
            {"stack and return at once", 6, 0x7F,
             "10020030 10020030 10040030 70040032 10040030 30080030 10110030", 1, 0},
            {"disabled channel is rejected", 4, 0x77, "10020020 10020020 10010200 10010000", 0, 0},
            {"channel 7 without escrow", 7, 0x40, "00020038 00020038 00080038 00110038", 1, 0}};
    for (const auto &path : paths) {
        SCOPED_TRACE(path.name);
        Host host;
        host.next(0x10, path.enabled);
        ASSERT_TRUE(host.engine.insertNote(path.channel));
        const QList<QByteArray> steps = QByteArray(path.steps).split(' ');
        for (qsizetype i = 0; i < steps.size(); ++i) {
            const QByteArray step = QByteArray::fromHex(steps[i]);
            EXPECT_EQ(statusOf(host.next(quint8(step[0]), path.enabled)), step.mid(1).toHex())
                    << "step " << i;
        }
        EXPECT_EQ(host.engine.stacked(), path.stacked);
        EXPECT_EQ(host.engine.returned(), path.returned);
        EXPECT_TRUE(host.engine.readyForNote());
    }
}

TEST(ValidatorEngine, AJamHoldsTheNoteUntilClearedAndANoteNeedsAChannelAndAFreeValidator)
{
    Host host;
    host.next();
    for (int channel : {0, -1, 8, 100})
        EXPECT_FALSE(host.engine.insertNote(channel)) << channel;
    ASSERT_TRUE(host.engine.insertNote(2));
    EXPECT_FALSE(host.engine.insertNote(1)) << "a note is already waiting";
    host.next();
    host.engine.raise(ValidatorEngine::Fault::Jam);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(statusOf(host.next()), "020410") << "frozen while accepting";
    EXPECT_FALSE(host.engine.insertNote(5));
    host.engine.clear();
    EXPECT_EQ(statusOf(host.next()), "010000");
    EXPECT_TRUE(host.engine.insertNote(7));
}

} // namespace
