#include "frames.h"
#include "hostcommand.h"
#include "trafficlines.h"

#include <gtest/gtest.h>

#include <map>

namespace {

constexpr std::array<int, 7> all{1, 1, 1, 1, 1, 1, 1};
constexpr std::array<int, 7> none{};

struct FrameCase
{
    const char *name;
    BuildInputs in; // ackToggle before the build: false gives the ACK bit set
    const char *line; // the sent frame as the log shows it, tag included
};

// The tag names the request and the host state display.
const std::map<QString, std::tuple<bool, bool, const char *>> byTag{
        {"   ", {false, false, " RUNNING"}},
        {"CAL", {false, false, " CALIBRATION MODE"}},
        {"STK", {true, false, " STACK BILL"}},
        {"RTN", {false, true, " RETURN BILL"}}};

const FrameCase frameCases[] = {
        {"firstAfterStart", {all, true, false, true, false, 0}, " 02 08 10 7F 10 00 03 77    "},
        {"next", {all, true, false, false, false, 0}, " 02 08 11 7F 10 00 03 76    "},
        {"escrowedEnabled", {all, true, false, false, true, 4}, " 02 08 11 7F 30 00 03 56 STK"},
        {"calibration", {all, true, true, true, false, 0}, " 02 08 40 7F 10 00 03 27 CAL"},
        {"escrowedDisabled",
         {{1, 0, 1, 0, 0, 0, 0}, true, false, true, true, 2},
         " 02 08 10 05 50 00 03 4D RTN"},
        {"noneCalibrationAck", {none, false, true, false, false, 0}, " 02 08 41 00 00 00 03 49 CAL"},
        {"notEscrowed", {all, true, false, true, false, 3}, " 02 08 10 7F 10 00 03 77    "},
        {"escrowOff", {all, false, false, true, true, 3}, " 02 08 10 7F 00 00 03 67    "},
        {"greyedReturned",
         {{1, 1, 2, 1, 1, 1, 1}, true, false, true, true, 3},
         " 02 08 10 7B 50 00 03 33 RTN"},
        {"calibrationEscrowed", {all, true, true, false, true, 7}, " 02 08 41 7F 30 00 03 06 STK"},
        // A note the validator did not name is never stacked.
        {"escrowedUnnamed", {all, true, false, true, true, 0}, " 02 08 10 7F 50 00 03 37 RTN"},
        {"noneNoEscrow", {none, false, false, true, false, 0}, " 02 08 10 00 00 00 03 18    "},
};

class FrameTest : public testing::TestWithParam<FrameCase>
{ };

TEST_P(FrameTest, BuildsTheFrameByteForByte)
{
    const FrameCase &c = GetParam();
    const BuildResult r = BuildCommand(c.in);
    EXPECT_EQ(sentFrameLine(r.command), c.line);
    EXPECT_EQ(" " + Frames::spaced(r.command.frameText) + " " + r.command.tag, c.line);
    EXPECT_EQ(r.command.checksum, quint8(r.command.frameText.back()));
    const auto &[stack, ret, hostState] = byTag.at(r.command.tag);
    EXPECT_EQ(r.stackRequest, stack);
    EXPECT_EQ(r.returnRequest, ret);
    EXPECT_EQ(r.hostState, hostState);
    EXPECT_EQ(r.ackToggle, !c.in.ackToggle);
}

INSTANTIATE_TEST_SUITE_P(HostCommand, FrameTest, testing::ValuesIn(frameCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(HostCommand, NeverBuiltFrameShowsZerosAndNoTag)
{
    EXPECT_EQ(sentFrameLine(HostCommand{}), " 02 08 00 00 00 00 03 00 ");
}

} // namespace
