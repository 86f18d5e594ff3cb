// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The simulator's images: the board's RAM as HEX records, and its dumps read back.
#include "intel_hex_image.h"

#include <ihex.h>

namespace sim {

namespace {

// Half the lines of 16-byte records for the simulator to read.
constexpr std::size_t kRecordBytes = 32;

}  // namespace

std::string to_intel_hex(std::span<const std::uint8_t> bytes) {
    return ihex::write_image(bytes, kRecordBytes);
}

std::optional<std::size_t> parse_intel_hex(std::string_view text, std::span<std::uint8_t> image) {
    const ihex::Stored stored = ihex::read_into(text, image);
    if (!stored.ok()) {
        return std::nullopt;
    }
    return stored.bytes;
}

}  // namespace sim
