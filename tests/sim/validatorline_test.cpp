#include "frames.h"
#include "simulatedvalidator.h"

#include <QSignalSpy>

#include <ostream>

using Frames::command;
using Frames::hex;

namespace {

constexpr int patience = 10000; // ms

// The simulator's line on a pseudo-terminal, with the host's serial port at the far end.
class LineTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(validator.openHost(host)) << qPrintable(host.errorString());
    }

    SimulatedValidator validator;
    QSerialPort host;
};

struct LineFaultCase
{
    const char *name;
    ValidatorLine::Fault fault;
    const char *first; // what the host reads for the first command
    int writes; // pieces written for it and its repeat
};

void PrintTo(const LineFaultCase &param, std::ostream *out)
{
    *out << param.name;
}

class LineFaults : public LineTest, public testing::WithParamInterface<LineFaultCase>
{ };

// The fault spoils the first copy of 02 0B 20 01 00 01 00 00 00 03 2B only: the repeat gets it whole.
TEST_P(LineFaults, SpoilOneReplyAndTheRepeatGetsTheGoodOne)
{
    const LineFaultCase &c = GetParam();
    validator.line.inject(c.fault);
    host.write(command(0x10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return validator.frames.size() == 1; }, patience));
    host.write(command(0x10));
    const QByteArray expected = hex(c.first) + hex("02 0B 20 01 00 01 00 00 00 03 2B");
    EXPECT_EQ(Frames::spaced(readAtLeast(host, expected.size())), Frames::spaced(expected));
    EXPECT_EQ(validator.replies.size(), c.writes);
    EXPECT_EQ(validator.engine.commands(), 2);
}

INSTANTIATE_TEST_SUITE_P(ValidatorLine, LineFaults,
                         testing::Values(LineFaultCase{"Drop", ValidatorLine::Fault::Drop, "", 1},
                                         LineFaultCase{"Corrupt", ValidatorLine::Fault::Corrupt,
                                                       "02 0B 20 01 00 01 00 00 00 03 7E", 2},
                                         LineFaultCase{"Garbage", ValidatorLine::Fault::Garbage,
                                                       "55 02 0B 20 01 00 01 00 00 00 03 2B", 2},
                                         LineFaultCase{"Extra", ValidatorLine::Fault::Extra,
                                                       "02 0B 20 01 00 01 00 00 00 03 2B 00 7F", 2},
                                         LineFaultCase{"Split", ValidatorLine::Fault::Split,
                                                       "02 0B 20 01 00 01 00 00 00 03 2B", 3},
                                         LineFaultCase{"Late", ValidatorLine::Fault::Late,
                                                       "02 0B 20 01 00 01 00 00 00 03 2B", 2}),
                         [](const testing::TestParamInfo<LineFaultCase> &info) {
                             return info.param.name;
                         });

TEST_F(LineTest, AtTheLinesPaceTheReplyIsNotWrittenOnReceipt)
{
    validator.line.setFast(false);
    host.write(command(0x10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return validator.frames.size() == 1; }, patience));
    EXPECT_TRUE(validator.replies.isEmpty());
    EXPECT_EQ(readAtLeast(host, 11), hex("02 0B 20 01 00 01 00 00 00 03 2B"));
}

TEST_F(LineTest, AfterHangingUpTheHostCannotWrite)
{
    validator.line.hangUp();
    EXPECT_FALSE(validator.pty.isOpen());
    host.write(command(0x10));
    EXPECT_TRUE(QTest::qWaitFor([&] { return host.error() != QSerialPort::NoError; }, patience));
    EXPECT_EQ(validator.engine.commands(), 0);
}

} // namespace
