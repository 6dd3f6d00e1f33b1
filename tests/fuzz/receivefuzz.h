// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

// Plays a byte string as a session of the tester's receive side: the bytes are read as
// operations (bytes arriving from the validator, cut anywhere; sends; run switch and mode
// changes; channel, escrow and text entries; a broken line). See README.md for the encoding.
namespace ReceiveFuzz {

void run(const std::uint8_t *data, std::size_t size);

} // namespace ReceiveFuzz
