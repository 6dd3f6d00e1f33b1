// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/protocolrules.h"

namespace ProtocolRules {

namespace {

const char *const names[count] = {
        "framing",         "acknowledgement", "repetition", "event-life",
        "invalid-command", "response-time",   "note-paths", "power-up",
};

} // namespace

QString name(Rule rule)
{
    return QLatin1String(names[rule]);
}

std::optional<Rule> named(const QString &text)
{
    for (int rule = 0; rule < count; ++rule) {
        if (text == QLatin1String(names[rule]))
            return Rule(rule);
    }
    return std::nullopt;
}

} // namespace ProtocolRules
