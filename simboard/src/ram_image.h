/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The board's RAM as the simulator gets it and gives it back, in as few bytes
// as it can: the simulator reads an image and prints a dump one small piece
// at a time, so a whole 32 KB costs tens of milliseconds each way. The RAM
// is its most common byte (the fill) and the ranges that differ from it: the
// simulator's memory is filled and only those ranges are loaded; at the stop
// its runs of the fill ("hole") are asked for, and only the rest dumped.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ram_file.h"

namespace sim {

struct Range {
    std::uint32_t first;
    std::uint32_t last;  // inclusive
};

// Runs of the fill at least this long are holes; shorter ones are kept.
inline constexpr std::uint32_t kShortestHole = 16;

struct RamLayout {
    std::uint8_t fill = 0xFF;
    std::vector<Range> kept;  // everything but the holes
};

RamLayout layout_of(std::span<const std::uint8_t, kBoardRamSize> ram);

// The kept ranges as HEX records, then the end record.
std::string kept_records(std::span<const std::uint8_t, kBoardRamSize> ram, const RamLayout& layout);

// The holes a "hole" command printed ("0x00f1 3854"), with the simulator's
// count of each (`slack`: how many bytes its length leaves out at the end).
std::vector<Range> holes_in(std::string_view text, std::uint32_t slack);

// How many bytes the simulator's hole lengths leave out, from its answer on
// an image whose holes are known; nothing when the answer does not tell.
std::optional<std::uint32_t> hole_slack(std::string_view answer, const RamLayout& layout);

// The RAM after a stop: `fill` in the holes, the dumps' bytes over the
// rest. Returns the ranges of `wanted` neither covers, which must still be dumped.
std::vector<Range> merge_stop(std::span<std::uint8_t, kBoardRamSize> memory, std::uint8_t fill,
                              const std::vector<Range>& holes,
                              const std::vector<std::string_view>& dumps,
                              const std::vector<Range>& wanted = {{0, kBoardRamSize - 1}});

}  // namespace sim
