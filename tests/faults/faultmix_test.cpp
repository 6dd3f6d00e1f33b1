// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/faults/faultfixture.h"

#include <QRandomGenerator>

#include <array>
#include <optional>

namespace {

constexpr int rejectedChannel = 6; // cleared on the host: its notes are rejected, never stacked

class FaultMix : public FaultFixture
{
protected:
    // One send by hand with whatever the dice decided, then waits for the line to settle.
    bool pollWith(std::optional<ValidatorLine::Fault> fault, bool burst)
    {
        int replies = repliesSent();
        if (heldReply) {
            ++replies; // the late reply goes out when the next command arrives
            heldReply = false;
        }
        if (fault) {
            validator->line.inject(*fault);
            heldReply = *fault == ValidatorLine::Fault::Late;
        }
        const bool withheld = fault == ValidatorLine::Fault::Drop || heldReply;
        if (!withheld)
            ++replies;
        const qsizetype before = validator->frames.size();
        model.SendCommand();
        if (burst)
            validator->pty.write(noise());
        return waitUntil([&] { return validator->frames.size() > before; }) && settle(replies);
    }

    // Junk without a start byte, so that no part of it can pass for a reply.
    QByteArray noise()
    {
        QByteArray bytes(int(random.bounded(11, 80)), '\0');
        for (char &byte : bytes)
            byte = char(0x03 + random.bounded(0xFD));
        return bytes;
    }

    QRandomGenerator random{20240607};
    bool heldReply = false;
    std::array<int, 7> inserted{};
};

// A thousand polls with a fault on about one in three and notes inserted all along: the tally
// ends equal to what the validator stacked, channel by channel.
TEST_F(FaultMix, AThousandPollsWithRandomFaultsCountEveryStackedNoteOnce)
{
    model.setChannelState(rejectedChannel - 1, 0);
    ASSERT_TRUE(startRun());

    constexpr ValidatorLine::Fault lineFaults[] = {
            ValidatorLine::Fault::Drop,    ValidatorLine::Fault::Corrupt,
            ValidatorLine::Fault::Garbage, ValidatorLine::Fault::Split,
            ValidatorLine::Fault::Extra,   ValidatorLine::Fault::Late};
    constexpr int burstKind = int(std::size(lineFaults));
    std::array<int, burstKind + 1> injected{};
    for (int i = 0; i < 1000; ++i) {
        if (engine.readyForNote() && random.bounded(2) == 0) {
            const int channel = int(random.bounded(1, 8));
            ASSERT_TRUE(engine.insertNote(channel));
            ++inserted[channel - 1];
        }
        std::optional<ValidatorLine::Fault> fault;
        bool burst = false;
        if (random.bounded(3) == 0) {
            const int kind = int(random.bounded(int(std::size(lineFaults)) + 1));
            if (kind == burstKind)
                burst = true;
            // A reply late by two commands is not a fault of this set: its copy would answer
            // the next new frame.
            else if (lineFaults[kind] != ValidatorLine::Fault::Late || !heldReply)
                fault = lineFaults[kind];
            if (burst || fault)
                ++injected[kind];
        }
        ASSERT_TRUE(pollWith(fault, burst)) << "poll " << i;
        ASSERT_LE(tallyTotal(), engine.stacked()) << "poll " << i;
        ASSERT_TRUE(model.panel().runSwitch) << "poll " << i;
    }
    for (int count : injected)
        EXPECT_GT(count, 20) << "every fault came up often";

    // Clean polls until the last note is through and its report was read.
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(pollWith(std::nullopt, false));
        if (engine.readyForNote() && !heldReply && model.members().replyReceived)
            break;
    }
    ASSERT_TRUE(engine.readyForNote());
    ASSERT_TRUE(model.members().replyReceived);

    EXPECT_GT(engine.stacked(), 50);
    EXPECT_EQ(tallyTotal(), engine.stacked());
    for (int channel = 1; channel <= 7; ++channel)
        EXPECT_EQ(model.tally().quantity(channel - 1).toInt(),
                  channel == rejectedChannel ? 0 : inserted[channel - 1])
                << "channel " << channel;
    EXPECT_TRUE(validator->junk.isEmpty()) << "the host wrote only whole frames";
}

} // namespace
