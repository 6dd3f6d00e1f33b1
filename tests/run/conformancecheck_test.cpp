// SPDX-License-Identifier: GPL-3.0-or-later
#include "run/conformancecheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Rule = ConformanceCheck::Rule;

struct Step
{
    const char *command; // hex; empty for bytes that came unasked
    const char *received; // hex
    int replyMs;
};

ConformanceCheck run(const std::vector<Step> &steps)
{
    ConformanceCheck check(35);
    for (const Step &step : steps) {
        ConformanceExchange exchange;
        exchange.command.frameText = QByteArray::fromHex(step.command);
        exchange.received = QByteArray::fromHex(step.received);
        exchange.replyMs = step.replyMs;
        check.add(exchange);
    }
    return check;
}

// Power up, a repeat, the invalid command, a note stacked, a note of a channel (3) switched off
// while it is accepted.
const std::vector<Step> wellBehaved = {
        {"0208107F10000377", "020B20010001000000032B", 12},
        {"0208107F10000377", "020B20010001000000032B", 12},
        {"0208117F70000316", "020B210100020000000329", 12},
        {"0208107F10000377", "020B200200180000000331", 12},
        {"0208117F10000376", "020B210200180000000330", 12},
        {"0208107F10000377", "020B200400180000000337", 12},
        {"0208117F30000356", "020B21080018000000033A", 12},
        {"0208117F30000356", "020B21080018000000033A", 12},
        {"0208107F10000377", "020B201100180000000322", 12},
        {"0208117F10000376", "020B21010000000000032B", 12},
        {"0208107F10000377", "020B200200180000000331", 12},
        {"0208117B10000372", "020B210102000000000329", 12},
};

// Each case fails the rules it breaks, once per failure, and no other.
TEST(ConformanceCheck, FailsOnlyTheRulesBrokenAndCountsWhatEachWasExercisedBy)
{
    const struct
    {
        const char *name;
        std::vector<Step> steps;
        std::vector<Rule> broken;
    } cases[] = {{"WellBehaved", wellBehaved, {}},
                 {"StrayByteUnaskedReplyBadChecksum",
                  {{"0208107F10000377", "020B20010001000000032B7F", 12},
                   {"", "020B21010000000000032B", -1},
                   {"0208117F10000376", "020B21010000000000032C", 12}},
                  {Rule::Framing, Rule::Framing, Rule::Framing}},
                 {"WrongAckBit",
                  {{"0208107F10000377", "020B21010000000000032B", 12}},
                  {Rule::Acknowledgement}},
                 {"RepeatMovedOn",
                  {{"0208107F10000377", "020B20010001000000032B", 12},
                   {"0208107F10000377", "020B20010000000000032A", 12}},
                  {Rule::Repetition}},
                 {"EventAfterItsAcknowledgement",
                  {{"0208107F10000377", "020B20010001000000032B", 12},
                   {"0208117F10000376", "020B21010001000000032A", 12}},
                  {Rule::EventLife}},
                 {"StackAndReturnTakenAsPlain",
                  {{"0208107F10000377", "020B20010000000000032A", 12},
                   {"0208117F70000316", "020B21010000000000032B", 12}},
                  {Rule::InvalidCommand}},
                 {"AtTheBoundLateAndNever",
                  {{"0208107F10000377", "020B20010001000000032B", 35},
                   {"0208117F10000376", "020B21010000000000032B", 36},
                   {"0208107F10000377", "", -1}},
                  {Rule::ResponseTime, Rule::ResponseTime}},
                 {"EscrowedOnADisabledChannel",
                  {{"0208107F10000377", "020B20010000000000032A", 12},
                   {"0208117F10000376", "020B210200180000000330", 12},
                   {"0208107B10000373", "020B200400180000000337", 12}},
                  {Rule::NotePaths}},
                 {"StackedWithNoNoteStacking",
                  {{"0208107F10000377", "020B20010000000000032A", 12},
                   {"0208117F10000376", "020B211100180000000323", 12}},
                  {Rule::NotePaths}},
                 {"PowerUpLater",
                  {{"0208107F10000377", "020B20010000000000032A", 12},
                   {"0208117F10000376", "020B21010001000000032A", 12}},
                  {Rule::PowerUp}}};
    for (const auto &c : cases) {
        const ConformanceCheck check = run(c.steps);
        for (int rule = 0; rule < ConformanceCheck::ruleCount; ++rule)
            EXPECT_EQ(check.verdict(Rule(rule)).failed,
                      std::count(c.broken.begin(), c.broken.end(), Rule(rule)))
                    << c.name << ": " << qPrintable(ProtocolRules::name(Rule(rule)));
    }

    // What each rule was exercised by in the well-behaved session, and the notes it followed.
    const ConformanceCheck check = run(wellBehaved);
    const int exercised[ConformanceCheck::ruleCount] = {12, 12, 2, 3, 1, 12, 7, 1};
    for (int rule = 0; rule < ConformanceCheck::ruleCount; ++rule)
        EXPECT_EQ(check.verdict(Rule(rule)).exercised, exercised[rule])
                << qPrintable(ProtocolRules::name(Rule(rule)));
    EXPECT_EQ(check.notesStarted(), 2);
    EXPECT_EQ(check.notesEscrowed(), 1);
    EXPECT_EQ(check.notesEnded(), 2);
    EXPECT_EQ(check.phase(), ConformanceCheck::Phase::None);
}

} // namespace
