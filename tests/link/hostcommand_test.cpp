#include "frames.h"
#include "hostcommand.h"
#include "trafficlines.h"

#include <QList>

#include <gtest/gtest.h>

namespace {

constexpr std::array<int, 7> allTicked{1, 1, 1, 1, 1, 1, 1};
constexpr std::array<int, 7> noneTicked{};

using Frames::hex;

struct FrameCase
{
    const char *name;
    BuildInputs in;
    const char *frame;
    const char *tag;
    const char *hostState;
    bool stack;
    bool ret;
};

// ackToggle holds the toggle before the build: the build flips it, so false gives ACK set.
const FrameCase frameCases[] = {
        {"firstBuildAfterStart",
         {allTicked, true, false, true, false, 0},
         "02 08 10 7F 10 00 03 77",
         "   ",
         " RUNNING",
         false,
         false},
        {"buildAfterThat",
         {allTicked, true, false, false, false, 0},
         "02 08 11 7F 10 00 03 76",
         "   ",
         " RUNNING",
         false,
         false},
        {"escrowedOnEnabledChannel",
         {allTicked, true, false, false, true, 4},
         "02 08 11 7F 30 00 03 56",
         "STK",
         " STACK BILL",
         true,
         false},
        {"calibration",
         {allTicked, true, true, true, false, 0},
         "02 08 40 7F 10 00 03 27",
         "CAL",
         " CALIBRATION MODE",
         false,
         false},
        {"escrowedOnDisabledChannel",
         {{1, 0, 1, 0, 0, 0, 0}, true, false, true, true, 2},
         "02 08 10 05 50 00 03 4D",
         "RTN",
         " RETURN BILL",
         false,
         true},
        {"nothingEnabledCalibrationAck",
         {noneTicked, false, true, false, false, 0},
         "02 08 41 00 00 00 03 49",
         "CAL",
         " CALIBRATION MODE",
         false,
         false},
        {"escrowOnNotEscrowed",
         {allTicked, true, false, true, false, 3},
         "02 08 10 7F 10 00 03 77",
         "   ",
         " RUNNING",
         false,
         false},
        {"escrowOffWhileEscrowed",
         {allTicked, false, false, true, true, 3},
         "02 08 10 7F 00 00 03 67",
         "   ",
         " RUNNING",
         false,
         false},
        {"greyedChannelIsReturned",
         {{1, 1, 2, 1, 1, 1, 1}, true, false, true, true, 3},
         "02 08 10 7B 50 00 03 33",
         "RTN",
         " RETURN BILL",
         false,
         true},
        {"calibrationWithEscrowedNote",
         {allTicked, true, true, false, true, 7},
         "02 08 41 7F 30 00 03 06",
         "STK",
         " STACK BILL",
         true,
         false},
        // A note the validator did not name is never stacked.
        {"escrowedWithoutNoteIndex",
         {allTicked, true, false, true, true, 0},
         "02 08 10 7F 50 00 03 37",
         "RTN",
         " RETURN BILL",
         false,
         true},
        {"nothingEnabledNoEscrow",
         {noneTicked, false, false, true, false, 0},
         "02 08 10 00 00 00 03 18",
         "   ",
         " RUNNING",
         false,
         false},
};

void PrintTo(const FrameCase &c, std::ostream *os)
{
    *os << c.name;
}

class FrameTest : public testing::TestWithParam<FrameCase>
{ };

TEST_P(FrameTest, BuildsTheFrameByteForByte)
{
    const FrameCase &c = GetParam();
    const BuildResult r = BuildCommand(c.in);
    EXPECT_EQ(r.command.frameText.toHex(' ').toUpper(), QByteArray(c.frame));
    EXPECT_EQ(r.command.tag, QLatin1String(c.tag));
    EXPECT_EQ(r.hostState, QLatin1String(c.hostState));
    EXPECT_EQ(r.stackRequest, c.stack);
    EXPECT_EQ(r.returnRequest, c.ret);
    EXPECT_EQ(r.ackToggle, !c.in.ackToggle);
    EXPECT_EQ(frameChecksum(r.command.frameText), quint8(r.command.checksum));
    EXPECT_EQ(sentFrameLine(r.command),
              QString::fromLatin1(" " + QByteArray(c.frame) + " ") + QLatin1String(c.tag));
    for (char byte : r.command.frameText)
        EXPECT_LE(quint8(byte), 0x7F) << "every byte must pass a 7-bit line";
}

INSTANTIATE_TEST_SUITE_P(HostCommand, FrameTest, testing::ValuesIn(frameCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(HostCommand, SuccessiveBuildsAlternateTheAckBit)
{
    BuildInputs in{allTicked, true, false, true, false, 0};
    QList<QByteArray> frames;
    for (int i = 0; i < 4; ++i) {
        const BuildResult r = BuildCommand(in);
        frames << r.command.frameText;
        in.ackToggle = r.ackToggle;
    }
    EXPECT_EQ(frames[0], hex("02 08 10 7F 10 00 03 77"));
    EXPECT_EQ(frames[1], hex("02 08 11 7F 10 00 03 76"));
    EXPECT_EQ(frames[2], frames[0]);
    EXPECT_EQ(frames[3], frames[1]);
}

TEST(HostCommand, ChecksumCoversTheBytesBetweenStartAndEnd)
{
    EXPECT_EQ(frameChecksum(hex("02 08 10 7F 10 00 03 77")), 0x77);
    EXPECT_EQ(frameChecksum(hex("02 0B 20 01 00 00 00 00 00 03 2A")), 0x0B ^ 0x20 ^ 0x01);
}

} // namespace
