/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Comparing what was meant for the board's RAM with what came back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <span>
#include <vector>

#include "command.h"

namespace qcli {

struct Mismatch {
    std::size_t address;
    std::uint8_t expected;
    std::uint8_t read;
};

inline constexpr std::size_t kMismatchesShown = 10;

std::vector<Mismatch> compare_images(std::span<const std::uint8_t> expected,
                                     std::span<const std::uint8_t> read);

// "0012: expected A5, read 25" for the first ten, then how many more.
void report_mismatches(std::ostream& out, const std::vector<Mismatch>& mismatches);

// Downloads expected.size() bytes and compares them. Returns kExitOk,
// kExitMismatch (reported on err) or kExitFailed (the library refused). When
// `just_written`, a read-back all FF or all 00 that the image is not gives
// kExitNoBoard instead: nothing stored what was sent.
int verify_board(Context& ctx, std::span<const std::uint8_t> expected, bool just_written = false);

}  // namespace qcli
