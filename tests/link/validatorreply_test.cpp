#include "frames.h"
#include "validatorreply.h"

#include <gtest/gtest.h>

namespace {

ValidatorReply reply(int d0, int d1, int d2)
{
    return Frames::replyValue(Frames::reply({d0, d1, d2}));
}

struct DecodeCase
{
    const char *name;
    quint8 d0, d1, d2;
    const char *stateText;
    const char *stateTag;
    const char *eventText; // before the note-index rule empties it
    const char *eventTag;
    bool stacked;
};

const DecodeCase decodeCases[] = {
        {"idle", 0x01, 0, 0, "IDLING", "   ", "", "   ", false},
        {"accepting", 0x02, 0, 0, "ACCEPTING", "ACC", "", "   ", false},
        {"escrowedAndStacking", 0x0C, 0, 0, "STACKING", "STK", "", "   ", false},
        {"jammedAndFull", 0, 0x0C, 0, "STACKER FULL", "JAM", "", "   ", false},
        {"calibration", 0, 0x40, 0, "CALIBRATION", "CAL", "", "   ", false},
        {"returning", 0x20, 0, 0, "RETURNING", "RTN", "", "   ", false},
        {"noStateBitKeepsOld", 0, 0, 0, "OLD", "   ", "", "   ", false},
        {"stacked", 0x10, 0, 0, "OLD", "   ", "STACKED", "STD", true},
        {"stackedAndPowerUp", 0x10, 0, 0x01, "OLD", "   ", "POWER UP", "PWR", false},
        {"stackedAndReturned", 0x50, 0, 0, "OLD", "   ", "RETURNED", "RTD", false},
        {"stackedAndCheated", 0x10, 0x01, 0, "OLD", "   ", "CHEATED", "CHT", false},
        {"stackedAndRejected", 0x10, 0x02, 0, "OLD", "   ", "REJECTED", "REJ", false},
        {"stackedAndInvalid", 0x10, 0, 0x02, "OLD", "   ", "INVALID CMD", "INV", false},
        {"stackedAndFailure", 0x10, 0, 0x04, "OLD", "   ", "STACKED", "STD", true},
        {"failureAlone", 0, 0, 0x04, "OLD", "   ", "FAILURE", "   ", false},
};

void PrintTo(const DecodeCase &c, std::ostream *os)
{
    *os << c.name;
}

class DecodeTest : public testing::TestWithParam<DecodeCase>
{ };

TEST_P(DecodeTest, StateAndEventPrecedence)
{
    const DecodeCase &c = GetParam();
    // The previous reply had the same (absent) note index, so the event stays.
    const DecodedReply d = decodeReply(reply(c.d0, c.d1, c.d2), {"OLD", "", " "});
    EXPECT_EQ(d.memory.stateText, QLatin1String(c.stateText));
    EXPECT_EQ(d.stateTag, QLatin1String(c.stateTag));
    EXPECT_EQ(d.memory.eventText, QLatin1String(c.eventText));
    EXPECT_EQ(d.eventTag, QLatin1String(c.eventTag));
    EXPECT_EQ(d.stacked(), c.stacked);
    EXPECT_EQ(d.stateCaption(), QLatin1Char(' ') + QLatin1String(c.stateText));
}

INSTANTIATE_TEST_SUITE_P(ValidatorReply, DecodeTest, testing::ValuesIn(decodeCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ValidatorReply, NoteIndexAndItsText)
{
    for (int n = 0; n <= 7; ++n) {
        const DecodedReply d = decodeReply(reply(0x01, 0, quint8(n << 3) | 0xC0), {});
        EXPECT_EQ(d.noteIndex, n);
        EXPECT_EQ(d.noteIndexText, n ? QString::number(n) : QString(" "));
    }
}

TEST(ValidatorReply, EventDisplayFollowsTheNoteIndex)
{
    DecodeMemory memory;
    // The very first reply always empties the event: nothing was shown before it.
    DecodedReply d = decodeReply(reply(0x01, 0x02, 0), memory);
    EXPECT_EQ(d.eventTag, "REJ");
    EXPECT_EQ(d.eventCaption("5"), " ");

    d = decodeReply(reply(0x01, 0x02, 0), d.memory);
    EXPECT_EQ(d.eventCaption("5"), " REJECTED");

    d = decodeReply(reply(0x01, 0, 3 << 3), d.memory);
    EXPECT_EQ(d.eventCaption("5"), " ");

    d = decodeReply(reply(0x08, 0, 5 << 3), d.memory);
    d = decodeReply(reply(0x10, 0, 5 << 3), d.memory);
    EXPECT_EQ(d.eventCaption("50"), " STACKED 50");
    EXPECT_TRUE(d.stacked());

    // A new note index empties the display even when its reply carries an event.
    d = decodeReply(reply(0x10, 0, 6 << 3), d.memory);
    EXPECT_EQ(d.eventCaption("100"), " ");
    EXPECT_TRUE(d.stacked());
}

TEST(ValidatorReply, GoodOnlyWithItsFrameBytesAndChecksum)
{
    const struct
    {
        const char *hex;
        bool checksumOk;
        bool good;
    } frames[] = {
            {"020B20010000000000032A", true, true},  {"020B20010000000000032B", false, false},
            {"020C20010000000000032D", true, false}, {"020B20010000000000042A", true, false},
            {"030B20010000000000032A", true, false},
    };
    for (const auto &frame : frames) {
        ValidatorReply r;
        const QByteArray bytes = QByteArray::fromHex(frame.hex);
        std::copy(bytes.begin(), bytes.end(), r.bytes.begin());
        EXPECT_EQ(r.checksumOk(), frame.checksumOk) << frame.hex;
        EXPECT_EQ(r.isGood(), frame.good) << frame.hex;
    }
}

TEST(ValidatorReply, ReadMustStartWithTheStartByteAndHoldElevenBytes)
{
    const QByteArray good = QByteArray::fromHex("020B2001000000000003FF");
    ASSERT_TRUE(ValidatorReply::fromRead(good));
    EXPECT_FALSE(ValidatorReply::fromRead(good.left(10)));
    EXPECT_FALSE(ValidatorReply::fromRead("\x03" + good.mid(1)));

    const auto longer = ValidatorReply::fromRead(good + QByteArray::fromHex("0203"));
    ASSERT_TRUE(longer);
    EXPECT_EQ(longer->bytes[10], 0xFF);
}

} // namespace
