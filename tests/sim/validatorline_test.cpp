// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/frames.h"
#include "tests/support/simulatedvalidator.h"

#include <QSignalSpy>

using Frames::command;
using Frames::hex;

namespace {

constexpr int patience = 10000; // ms

// The fault spoils the first copy of 02 0B 20 01 00 01 00 00 00 03 2B only: the repeat gets it
// whole. What the host reads for the first command, and the pieces written for both.
TEST(ValidatorLine, AFaultSpoilsOneReplyAndTheRepeatGetsTheGoodOne)
{
    using Fault = ValidatorLine::Fault;
    const std::tuple<Fault, const char *, int> faults[] = {
            {Fault::Drop, "", 1},
            {Fault::Corrupt, "02 0B 20 01 00 01 00 00 00 03 7E", 2},
            {Fault::Garbage, "55 02 0B 20 01 00 01 00 00 00 03 2B", 2},
            {Fault::Extra, "02 0B 20 01 00 01 00 00 00 03 2B 00 7F", 2},
            {Fault::Split, "02 0B 20 01 00 01 00 00 00 03 2B", 3},
            {Fault::Late, "02 0B 20 01 00 01 00 00 00 03 2B", 2}};
    for (const auto &[fault, first, writes] : faults) {
        SCOPED_TRACE(int(fault));
        SimulatedValidator validator;
        QSerialPort host;
        ASSERT_TRUE(validator.openHost(host));
        validator.line.inject(fault);
        host.write(command(0x10));
        ASSERT_TRUE(QTest::qWaitFor([&] { return validator.frames.size() == 1; }, patience));
        host.write(command(0x10));
        const QByteArray expected = hex(first) + hex("02 0B 20 01 00 01 00 00 00 03 2B");
        EXPECT_EQ(Frame::hexBytes(readAtLeast(host, expected.size())), Frame::hexBytes(expected));
        EXPECT_EQ(validator.replies.size(), writes);
        EXPECT_EQ(validator.engine.commands(), 2);
    }
}

TEST(ValidatorLine, AtTheLinesPaceTheReplyIsNotWrittenOnReceipt)
{
    SimulatedValidator validator;
    QSerialPort host;
    ASSERT_TRUE(validator.openHost(host)) << qPrintable(host.errorString());
    validator.line.setFast(false);
    host.write(command(0x10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return validator.frames.size() == 1; }, patience));
    EXPECT_TRUE(validator.replies.isEmpty());
    EXPECT_EQ(readAtLeast(host, 11), hex("02 0B 20 01 00 01 00 00 00 03 2B"));
}

TEST(ValidatorLine, AfterHangingUpTheHostCannotWrite)
{
    SimulatedValidator validator;
    QSerialPort host;
    ASSERT_TRUE(validator.openHost(host)) << qPrintable(host.errorString());
    validator.line.hangUp();
    EXPECT_FALSE(validator.pty.isOpen());
    host.write(command(0x10));
    EXPECT_TRUE(QTest::qWaitFor([&] { return host.error() != QSerialPort::NoError; }, patience));
    EXPECT_EQ(validator.engine.commands(), 0);
}

} // namespace
