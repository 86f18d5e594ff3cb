/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The 8051's memories as an editor's memory view names them: "xdata:0x0120",
// "idata:0x30", "sfr:0x80", "code:0x00bf" (a bare "0x00bf" is code, as an
// instruction pointer is), and the base64 the protocol carries bytes in.
#pragma once

#include <debug_target.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dap {

struct Place {
    debugger::Space space;
    unsigned address;
};

std::string reference(debugger::Space space, unsigned address);
std::optional<Place> parse_reference(std::string_view text);
// One past the last address of a space.
unsigned space_end(debugger::Space space);
// The first address of a space (the SFRs begin at 0x80).
unsigned space_begin(debugger::Space space);

std::string base64(std::span<const std::uint8_t> bytes);
std::optional<std::vector<std::uint8_t>> from_base64(std::string_view text);

}  // namespace dap
