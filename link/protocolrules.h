// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// The rules of the conversation that a validator keeps: what a conformance check judges, and
// what the simulator can break on purpose so that the check can be seen to catch it.
namespace ProtocolRules {

enum Rule {
    Framing,
    Acknowledgement,
    Repetition,
    EventLife,
    InvalidCommand,
    ResponseTime,
    NotePaths,
    PowerUp,
};
constexpr int count = PowerUp + 1;

// "framing", "event-life", ...: as the command lines take them and the reports show them.
QString name(Rule rule);
std::optional<Rule> named(const QString &name);

} // namespace ProtocolRules
