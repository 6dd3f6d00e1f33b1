#include "linefixture.h"
#include "testframes.h"

#include <ostream>

using TestFrames::command;

namespace {

struct LineFaultCase
{
    const char *name;
    ValidatorLine::Fault fault;
    const char *first; // hex, what the host reads for the first command
    const char *second; // for the repeat of that command
};

void PrintTo(const LineFaultCase &param, std::ostream *out)
{
    *out << param.name;
}

class LineFaults : public LineFixture, public testing::WithParamInterface<LineFaultCase>
{ };

// The good reply is 02 0B 20 01 00 01 00 00 00 03 2B; the fault spoils the first copy only.
TEST_P(LineFaults, SpoilOneReplyAndTheRepeatGetsTheGoodOne)
{
    const LineFaultCase &c = GetParam();
    line.inject(c.fault);
    host.write(command(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() == 1; }, patience));
    const QByteArray first = QByteArray::fromHex(c.first);
    if (first.isEmpty()) {
        EXPECT_TRUE(sent.isEmpty()) << "withheld";
    }

    host.write(command(0));
    const QByteArray expected = first + QByteArray::fromHex(c.second);
    EXPECT_EQ(readAtLeast(expected.size()).toHex(' '), expected.toHex(' '));
    EXPECT_EQ(engine.commands(), 2);
}

INSTANTIATE_TEST_SUITE_P(
        ValidatorLine, LineFaults,
        testing::Values(LineFaultCase{"Drop", ValidatorLine::Fault::Drop, "",
                                      "020B20010001000000032B"},
                        LineFaultCase{"Corrupt", ValidatorLine::Fault::Corrupt,
                                      "020B20010001000000037E", "020B20010001000000032B"},
                        LineFaultCase{"Garbage", ValidatorLine::Fault::Garbage,
                                      "55020B20010001000000032B", "020B20010001000000032B"},
                        LineFaultCase{"Extra", ValidatorLine::Fault::Extra,
                                      "020B20010001000000032B007F", "020B20010001000000032B"},
                        LineFaultCase{"Split", ValidatorLine::Fault::Split,
                                      "020B20010001000000032B", "020B20010001000000032B"},
                        LineFaultCase{"Late", ValidatorLine::Fault::Late, "",
                                      "020B20010001000000032B020B20010001000000032B"}),
        [](const testing::TestParamInfo<LineFaultCase> &info) { return info.param.name; });

TEST_F(LineFixture, ASplitReplyGoesOutInTwoPiecesThatMakeItWhole)
{
    line.inject(ValidatorLine::Fault::Split);
    host.write(command(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sent.size() == 2; }, patience));
    EXPECT_EQ(sent[0][0].toByteArray() + sent[1][0].toByteArray(), TestFrames::powerUpReply());
    EXPECT_EQ(line.repliesSent(), 1);
}

TEST_F(LineFixture, ALineFaultAppliesOnceOnly)
{
    line.inject(ValidatorLine::Fault::Corrupt);
    host.write(command(0));
    host.write(command(1));
    const QByteArray both = readAtLeast(22);
    ASSERT_EQ(both.size(), 22);
    EXPECT_NE(quint8(both[10]), TestFrames::xorOfBytes1To8(both.left(11)));
    EXPECT_EQ(quint8(both[21]), TestFrames::xorOfBytes1To8(both.mid(11)));
}

TEST_F(LineFixture, WithoutFastTheReplyWaitsForTheLineTime)
{
    line.setFast(false);
    host.write(command(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() == 1; }, patience));
    EXPECT_TRUE(sent.isEmpty()) << "not written on receipt";
    EXPECT_EQ(readAtLeast(11), TestFrames::powerUpReply());
}

TEST_F(LineFixture, AfterHangingUpTheHostCannotWrite)
{
    line.hangUp();
    EXPECT_FALSE(pty.isOpen());
    host.write(command(0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return host.error() != QSerialPort::NoError; }, patience));
    EXPECT_EQ(engine.commands(), 0);
}

} // namespace
