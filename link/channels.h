// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>

// The validator's note channels: numbered 1 to 7 on the line, held 0 to 6 in arrays.
constexpr int channelCount = 7;

// The note values the channels carry when SETUP.INI does not say otherwise.
inline std::array<QString, channelCount> defaultNoteValues()
{
    return {QStringLiteral("1"),  QStringLiteral("2"),  QStringLiteral("5"),  QStringLiteral("10"),
            QStringLiteral("20"), QStringLiteral("50"), QStringLiteral("100")};
}
