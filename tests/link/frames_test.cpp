// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/hostcommand.h"
#include "link/trafficlines.h"
#include "link/validatorreply.h"
#include "tests/support/frames.h"
#include "tests/support/printers.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using Frames::hex;

constexpr std::array<int, 7> all{1, 1, 1, 1, 1, 1, 1};
constexpr std::array<int, 7> none{};

// The inputs (ackToggle before the build: false gives the ACK bit set) and the sent frame as the
// log shows it, tag included.
using FrameCase = std::pair<BuildInputs, const char *>;

// The tag names the request and the host state display.
const std::map<QString, std::tuple<bool, bool, const char *>> byTag{
        {"   ", {false, false, " RUNNING"}},
        {"CAL", {false, false, " CALIBRATION MODE"}},
        {"STK", {true, false, " STACK BILL"}},
        {"RTN", {false, true, " RETURN BILL"}}};

const FrameCase frameCases[] = {
        {{all, true, false, true, false, 0}, " 02 08 10 7F 10 00 03 77    "},
        {{all, true, false, false, false, 0}, " 02 08 11 7F 10 00 03 76    "},
        {{all, true, false, false, true, 4}, " 02 08 11 7F 30 00 03 56 STK"},
        {{all, true, true, true, false, 0}, " 02 08 40 7F 10 00 03 27 CAL"},
        {{{1, 0, 1, 0, 0, 0, 0}, true, false, true, true, 2}, " 02 08 10 05 50 00 03 4D RTN"},
        {{none, false, true, false, false, 0}, " 02 08 41 00 00 00 03 49 CAL"},
        {{all, true, false, true, false, 3}, " 02 08 10 7F 10 00 03 77    "},
        {{all, false, false, true, true, 3}, " 02 08 10 7F 00 00 03 67    "},
        {{{1, 1, 2, 1, 1, 1, 1}, true, false, true, true, 3}, " 02 08 10 7B 50 00 03 33 RTN"},
        {{all, true, true, false, true, 7}, " 02 08 41 7F 30 00 03 06 STK"},
        // A note the validator did not name is never stacked.
        {{all, true, false, true, true, 0}, " 02 08 10 7F 50 00 03 37 RTN"},
        {{none, false, false, true, false, 0}, " 02 08 10 00 00 00 03 18    "},
};

TEST(HostCommand, BuildsTheFrameByteForByte)
{
    for (const auto &[in, line] : frameCases) {
        SCOPED_TRACE(line);
        const BuildResult r = BuildCommand(in);
        EXPECT_EQ(sentFrameLine(r.command), line);
        EXPECT_EQ(" " + Frame::hexBytes(r.command.frameText) + " " + r.command.tag(), line);
        const auto &[stack, ret, hostState] = byTag.at(r.command.tag());
        EXPECT_EQ(r.stackRequest, stack);
        EXPECT_EQ(r.returnRequest, ret);
        EXPECT_EQ(r.hostState, hostState);
        EXPECT_EQ(r.ackToggle, !in.ackToggle);
    }
}

ValidatorReply reply(int d0, int d1, int d2)
{
    return Frames::replyValue(Frames::reply({d0, d1, d2}));
}

// Bytes 3 to 5; state text and tag; event text (before the note-index rule empties it) and tag.
using DecodeCase = std::tuple<int, int, int, const char *, const char *, const char *, const char *>;
const DecodeCase decodeCases[] = {
        {0x01, 0, 0, "IDLING", "   ", "", "   "},
        {0x02, 0, 0, "ACCEPTING", "ACC", "", "   "},
        {0x0C, 0, 0, "STACKING", "STK", "", "   "},
        {0, 0x0C, 0, "STACKER FULL", "JAM", "", "   "},
        {0, 0x40, 0, "CALIBRATION", "CAL", "", "   "},
        {0x20, 0, 0, "RETURNING", "RTN", "", "   "},
        {0, 0, 0, "OLD", "   ", "", "   "},
        {0x10, 0, 0, "OLD", "   ", "STACKED", "STD"},
        {0x10, 0, 0x01, "OLD", "   ", "POWER UP", "PWR"},
        {0x50, 0, 0, "OLD", "   ", "RETURNED", "RTD"},
        {0x10, 0x01, 0, "OLD", "   ", "CHEATED", "CHT"},
        {0x10, 0x02, 0, "OLD", "   ", "REJECTED", "REJ"},
        {0x10, 0, 0x02, "OLD", "   ", "INVALID CMD", "INV"},
        {0x10, 0, 0x04, "OLD", "   ", "STACKED", "STD"},
        {0, 0, 0x04, "OLD", "   ", "FAILURE", "   "},
};

TEST(ValidatorReply, StateAndEventPrecedence)
{
    for (const auto &[d0, d1, d2, stateText, stateTag, eventText, eventTag] : decodeCases) {
        SCOPED_TRACE(testing::Message() << d0 << ' ' << d1 << ' ' << d2);
        // The previous reply had the same (absent) note index, so the event stays.
        const DecodedReply d = decodeReply(reply(d0, d1, d2), {"OLD", "", " "});
        EXPECT_EQ(d.stateCaption(), QLatin1Char(' ') + QLatin1String(stateText));
        EXPECT_EQ(d.stateTag, stateTag);
        EXPECT_EQ(d.memory.eventText, eventText);
        EXPECT_EQ(d.eventTag, eventTag);
        EXPECT_EQ(d.stacked(), QLatin1String(eventTag) == "STD");
    }
}

TEST(ValidatorReply, NoteIndexAndTheEventDisplayFollowingIt)
{
    for (int n = 0; n <= 7; ++n) {
        const DecodedReply d = decodeReply(reply(0x01, 0, (n << 3) | 0xC0), {});
        EXPECT_EQ(d.noteIndex, n);
        EXPECT_EQ(d.noteIndexText, QString(" 1234567"[n]));
    }
    // The very first reply always empties the event: nothing was shown before it.
    DecodedReply d = decodeReply(reply(0x01, 0x02, 0), {});
    EXPECT_EQ(d.eventTag, "REJ");
    EXPECT_EQ(d.eventCaption("5"), " ");
    d = decodeReply(reply(0x01, 0x02, 0), d.memory);
    EXPECT_EQ(d.eventCaption("5"), " REJECTED");
    d = decodeReply(reply(0x01, 0, 3 << 3), d.memory);
    EXPECT_EQ(d.eventCaption("5"), " ");
    d = decodeReply(reply(0x08, 0, 5 << 3), d.memory);
    d = decodeReply(reply(0x10, 0, 5 << 3), d.memory);
    EXPECT_EQ(d.eventCaption("50"), " STACKED 50");
    // A new note index empties the display even when its reply carries an event.
    d = decodeReply(reply(0x10, 0, 6 << 3), d.memory);
    EXPECT_EQ(d.eventCaption("100"), " ");
    EXPECT_TRUE(d.stacked());
}

TEST(ValidatorReply, GoodOnlyWithItsFrameBytesAndChecksum)
{
    const std::tuple<const char *, bool, bool> frames[] = {
            {"02 0B 20 01 00 00 00 00 00 03 2A", true, true},
            {"02 0B 20 01 00 00 00 00 00 03 2B", false, false},
            {"02 0C 20 01 00 00 00 00 00 03 2D", true, false},
            {"02 0B 20 01 00 00 00 00 00 04 2A", true, false},
            {"03 0B 20 01 00 00 00 00 00 03 2A", true, false},
            // Bytes 6 to 8 are not interpreted, but the checksum covers them.
            {"02 0B 20 01 00 00 0A 0B 0C 03 27", true, true},
            {"02 0B 20 01 00 00 0A 0B 0C 03 2B", false, false},
            {"02 0B 20 01 00 00 0A 0B 0C 03 2C", false, false},
    };
    for (const auto &[text, checksumOk, good] : frames) {
        const ValidatorReply r = Frames::replyValue(hex(text));
        EXPECT_EQ(r.checksumOk(), checksumOk) << text;
        EXPECT_EQ(r.isGood(), good) << text;
    }
}

TEST(ValidatorReply, ReadMustStartWithTheStartByteAndHoldElevenBytes)
{
    const QByteArray good = hex("02 0B 20 01 00 00 00 00 00 03 FF");
    ASSERT_TRUE(ValidatorReply::fromRead(good));
    EXPECT_FALSE(ValidatorReply::fromRead(good.left(10)));
    EXPECT_FALSE(ValidatorReply::fromRead("\x03" + good.mid(1)));
    const auto longer = ValidatorReply::fromRead(good + hex("02 03"));
    ASSERT_TRUE(longer);
    EXPECT_EQ(longer->bytes[10], 0xFF);
}

TEST(ValidatorReply, LogLines)
{
    const ValidatorReply r = Frames::replyValue(hex("02 0B 21 10 00 28 A0 FF 00 03 7D"));
    EXPECT_EQ(replyLine(r, "STK", "5", "STD"), " 02 0B 21 10 00 28 A0 FF 00 03 7D STK 5 STD");
    EXPECT_EQ(noResponseLine(), "       NO RESPONSE!  TIMEOUT");
    EXPECT_EQ(sentFrameLine(HostCommand{}), " 02 08 00 00 00 00 03 00 ");
    // Stack and return at once, which no build asks for: neither tag.
    EXPECT_EQ(sentFrameLine(HostCommand{hex("02 08 11 7F 70 00 03 16")}),
              " 02 08 11 7F 70 00 03 16    ");
}

} // namespace
