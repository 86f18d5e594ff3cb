/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// Memory images in Intel HEX, the form the 8051 simulator loads and dumps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sim {

// The bytes as data records of 32 bytes from address 0, then the end record.
std::string to_intel_hex(std::span<const std::uint8_t> bytes);

// Stores the data records of `text` into `image` (record address = index) and
// returns how many bytes they held. Lines not starting with ':' are skipped, so
// console chatter around a dump does no harm. A record with a bad checksum,
// bad digits or an address beyond `image`, or a text without the end record,
// makes the whole text unusable.
std::optional<std::size_t> parse_intel_hex(std::string_view text, std::span<std::uint8_t> image);

}  // namespace sim
