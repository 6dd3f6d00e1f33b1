// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

// Feeds a byte string, as the 8-bit text of a settings file, to every reader of SETUP.INI and
// checks that writing what was read and reading it again gives the same settings. A failed
// check aborts.
namespace SetupFuzz {

// The folder in which the start-up reader's file is written; it must exist.
void run(const std::uint8_t *data, std::size_t size, const QString &folder);

} // namespace SetupFuzz
