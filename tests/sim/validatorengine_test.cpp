#include "testframes.h"
#include "validatorengine.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

using TestFrames::command;

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
        lastCommand = command(ack, data0, data1);
        return engine.answer(lastCommand);
    }
    QByteArray repeat() { return engine.answer(lastCommand); }

private:
    int ack = 1; // the first command carries ACK 0
    QByteArray lastCommand;
};

TEST(ValidatorEngine, FirstReplyCarriesThePowerUpInAWellFormedFrame)
{
    ValidatorEngine engine;
    const QByteArray reply = engine.answer(command(0));
    ASSERT_EQ(reply.size(), 11);
    EXPECT_EQ(quint8(reply[0]), 0x02);
    EXPECT_EQ(quint8(reply[1]), 0x0B);
    EXPECT_EQ(quint8(reply[2]), 0x20);
    EXPECT_EQ(quint8(reply[3]), 0x01) << "idling";
    EXPECT_EQ(quint8(reply[5]), 0x01) << "power up";
    EXPECT_EQ(reply.mid(6, 3), QByteArray(3, '\0'));
    EXPECT_EQ(quint8(reply[9]), 0x03);
    EXPECT_EQ(quint8(reply[10]), TestFrames::xorOfBytes1To8(reply));
    EXPECT_EQ(reply, TestFrames::powerUpReply());
    EXPECT_EQ(statusOf(engine.answer(command(1))), "010000") << "reported once";
}

TEST(ValidatorEngine, ReplyControlIs0x20PlusTheCommandsAck)
{
    struct Case
    {
        int control;
        int replyControl;
    };
    for (const Case c : {Case{0x10, 0x20}, {0x11, 0x21}, {0x40, 0x20}, {0x41, 0x21}}) {
        ValidatorEngine engine;
        const QByteArray reply = engine.answer(command(c.control & 1, 0x7F, 0x10, c.control & 0xF0));
        EXPECT_EQ(quint8(reply[2]), c.replyControl) << c.control;
        EXPECT_EQ(quint8(reply[5]) & 0x01, 0x01) << "the first command advances, whatever its ACK";
    }
}

TEST(ValidatorEngine, RepeatedAckGetsTheSameBytesAndDoesNotAdvance)
{
    Host host;
    host.next();
    ASSERT_TRUE(host.engine.insertNote(3));
    const QByteArray accepting = host.next();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(host.repeat(), accepting);
    EXPECT_EQ(statusOf(host.next()), "020018") << "still the second accepting reply";
    EXPECT_EQ(statusOf(host.next()), "040018");
    EXPECT_EQ(host.engine.commands(), 9);
}

TEST(ValidatorEngine, AnEventStaysThroughRepeatsAndIsCountedOnce)
{
    Host host;
    host.next();
    host.engine.insertNote(1);
    for (int i = 0; i < 3; ++i)
        host.next(0x00);
    const QByteArray stacked = host.next(0x00);
    ASSERT_EQ(statusOf(stacked), "110008");
    EXPECT_EQ(host.repeat(), stacked);
    EXPECT_EQ(host.engine.stacked(), 1);
    EXPECT_EQ(statusOf(host.next()), "010000");
}

TEST(ValidatorEngine, MalformedFramesGetNoReplyAndTheNextGoodOneDoes)
{
    const QByteArray good = command(0);
    auto spoilt = [&](int index, int value) {
        QByteArray frame = good;
        frame[index] = char(value);
        return frame;
    };
    struct Case
    {
        const char *name;
        QByteArray bad;
    };
    const std::vector<Case> cases = {
            {"start byte", spoilt(0, 0x03)},   {"length byte", spoilt(1, 0x09)},
            {"end byte", spoilt(6, 0x04)},     {"checksum", spoilt(7, 0x78)},
            {"data changed", spoilt(3, 0x7E)}, {"line noise", QByteArray::fromHex("55aa0003ff")},
    };
    for (const Case &c : cases) {
        ValidatorEngine engine;
        const QList<Exchange> exchanges = engine.receive(c.bad + good);
        ASSERT_GE(exchanges.size(), 2) << c.name;
        for (qsizetype i = 0; i + 1 < exchanges.size(); ++i)
            EXPECT_TRUE(exchanges[i].reply.isEmpty()) << c.name;
        EXPECT_EQ(exchanges.last().received, good) << c.name;
        EXPECT_EQ(exchanges.last().reply, TestFrames::powerUpReply()) << c.name;
        EXPECT_EQ(engine.commands(), 1) << c.name;
    }
}

TEST(ValidatorEngine, AFrameHiddenBehindATruncatedOneIsFound)
{
    ValidatorEngine engine;
    const QByteArray good = command(0);
    const QList<Exchange> exchanges = engine.receive(good.left(3) + good);
    ASSERT_EQ(exchanges.size(), 2);
    EXPECT_EQ(exchanges[0].received, good.left(3));
    EXPECT_TRUE(exchanges[0].reply.isEmpty());
    EXPECT_EQ(exchanges[1].reply, TestFrames::powerUpReply());
}

TEST(ValidatorEngine, AFrameArrivingByteByByteIsAnsweredOnItsLastByte)
{
    ValidatorEngine engine;
    const QByteArray good = command(0);
    for (int i = 0; i < good.size() - 1; ++i)
        EXPECT_TRUE(engine.receive(good.mid(i, 1)).isEmpty()) << i;
    const QList<Exchange> exchanges = engine.receive(good.right(1));
    ASSERT_EQ(exchanges.size(), 1);
    EXPECT_EQ(exchanges[0].reply, TestFrames::powerUpReply());
}

TEST(ValidatorEngine, StackAndReturnAtOnceIsInvalidAndLeavesTheNoteInEscrow)
{
    Host host;
    host.next();
    host.engine.insertNote(6);
    for (int i = 0; i < 3; ++i)
        host.next();
    EXPECT_EQ(statusOf(host.next(0x70)), "040032");
    EXPECT_EQ(statusOf(host.next()), "040030") << "the event is cleared by the next ACK";
    EXPECT_EQ(statusOf(host.next(0x30)), "080030");
}

// Each step: the command's data1, then the reply's data0, data1 and data2, all in hex.
struct NotePath
{
    const char *name;
    int channel;
    int enabled; // data0 of every command
    const char *steps;
    int stacked;
    int returned;
};

void PrintTo(const NotePath &param, std::ostream *out)
{
    *out << param.name;
}

class NotePaths : public testing::TestWithParam<NotePath>
{ };

TEST_P(NotePaths, StepByStep)
{
    const NotePath &path = GetParam();
    Host host;
    host.next(0x10, path.enabled);
    ASSERT_TRUE(host.engine.insertNote(path.channel));
    const QList<QByteArray> steps = QByteArray(path.steps).split(' ');
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const QByteArray step = QByteArray::fromHex(steps[i]);
        const QByteArray reply = host.next(quint8(step[0]), path.enabled);
        EXPECT_EQ(statusOf(reply), step.mid(1).toHex()) << "step " << i;
    }
    EXPECT_EQ(host.engine.stacked(), path.stacked);
    EXPECT_EQ(host.engine.returned(), path.returned);
    EXPECT_TRUE(host.engine.readyForNote());
}

INSTANTIATE_TEST_SUITE_P(
        ValidatorEngine, NotePaths,
        testing::Values(NotePath{"NoEscrowStacks", 3, 0x7F,
                                 "00020018 00020018 00080018 00110018 00010000", 1, 0},
                        NotePath{"EscrowHoldsThenStacks", 5, 0x7F,
                                 "10020028 10020028 10040028 10040028 30080028 10110028 10010000",
                                 1, 0},
                        NotePath{"EscrowReturns", 2, 0x7F,
                                 "10020010 10020010 10040010 50200010 10410010 10010000", 0, 1},
                        NotePath{"DisabledChannelIsRejected", 4, 0x77,
                                 "10020020 10020020 10010200 10010000", 0, 0},
                        NotePath{"ChannelSevenWithoutEscrow", 7, 0x40,
                                 "00020038 00020038 00080038 00110038", 1, 0}),
        [](const testing::TestParamInfo<NotePath> &info) { return info.param.name; });

struct FaultCase
{
    const char *name;
    ValidatorEngine::Fault fault;
    int byte; // reply index
    int mask;
    bool lasting;
};

void PrintTo(const FaultCase &param, std::ostream *out)
{
    *out << param.name;
}

class Faults : public testing::TestWithParam<FaultCase>
{ };

TEST_P(Faults, ShowFromTheNextNewReplyOn)
{
    const FaultCase &c = GetParam();
    Host host;
    host.next();
    const QByteArray before = host.next();
    host.engine.raise(c.fault);
    EXPECT_EQ(host.repeat(), before) << "a repeat is the previous reply, byte for byte";

    EXPECT_EQ(quint8(host.next()[c.byte]) & c.mask, c.mask);
    EXPECT_EQ(quint8(host.next()[c.byte]) & c.mask, c.lasting ? c.mask : 0);
    EXPECT_EQ(host.engine.readyForNote(), !c.lasting);

    host.engine.clear();
    EXPECT_EQ(statusOf(host.next()), "010000");
}

INSTANTIATE_TEST_SUITE_P(
        ValidatorEngine, Faults,
        testing::Values(FaultCase{"Jam", ValidatorEngine::Fault::Jam, 4, 0x04, true},
                        FaultCase{"StackerFull", ValidatorEngine::Fault::StackerFull, 4, 0x08, true},
                        FaultCase{"Calibration", ValidatorEngine::Fault::Calibration, 4, 0x40, true},
                        FaultCase{"Cheat", ValidatorEngine::Fault::Cheat, 4, 0x01, false},
                        FaultCase{"Reject", ValidatorEngine::Fault::Reject, 4, 0x02, false},
                        FaultCase{"Failure", ValidatorEngine::Fault::Failure, 5, 0x04, false},
                        FaultCase{"PowerUp", ValidatorEngine::Fault::PowerUp, 5, 0x01, false}),
        [](const testing::TestParamInfo<FaultCase> &info) { return info.param.name; });

TEST(ValidatorEngine, AJamHoldsTheNoteUntilClearedBackToIdle)
{
    Host host;
    host.next();
    host.engine.insertNote(2);
    host.next();
    host.engine.raise(ValidatorEngine::Fault::Jam);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(statusOf(host.next()), "020410") << "frozen while accepting";
    EXPECT_FALSE(host.engine.insertNote(5));
    host.engine.clear();
    EXPECT_EQ(statusOf(host.next()), "010000");
    EXPECT_TRUE(host.engine.insertNote(5));
}

TEST(ValidatorEngine, InsertNeedsAChannelAndAFreeValidator)
{
    ValidatorEngine engine;
    for (int channel : {0, -1, 8, 100})
        EXPECT_FALSE(engine.insertNote(channel)) << channel;
    EXPECT_TRUE(engine.insertNote(7));
    EXPECT_FALSE(engine.insertNote(1)) << "a note is already waiting";
}

} // namespace
