/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Finding the delay a board needs: a test pattern is sent and read back a few
// times at rising delays, and the first delay at which every round comes back
// intact is the answer. The search is kept apart from the board, so it can be
// driven by any round function.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image_compare.h"

namespace qcli {

inline constexpr unsigned kMaxDelay = 255;

// The bytes of one round: pseudo-random, different for every delay and round,
// and every odd round the complement of the round before it, so each bit of
// each byte has to change on the board between the two.
std::vector<std::uint8_t> calibration_pattern(std::uint8_t delay, unsigned round, std::size_t size);

// What one round did: the bytes that came back wrong (none when intact), or
// nothing when the library refused the transfer.
using RoundResult = std::optional<std::vector<Mismatch>>;
using RoundFunction =
    std::function<RoundResult(std::uint8_t delay, unsigned round, std::span<const std::uint8_t>)>;

// One delay's verdict, for the line printed about it.
struct DelayVerdict {
    std::uint8_t delay = 0;
    std::size_t size = 0;
    unsigned rounds = 0;          // rounds run at this delay
    bool intact = false;          // every round came back as sent
    std::vector<Mismatch> wrong;  // of the failing round
};

struct Calibration {
    enum class Outcome { found, none, refused, no_answer };
    Outcome outcome = Outcome::none;
    // found: the answer; refused: the delay tried; no_answer: the last delay tried
    std::uint8_t delay = 0;
    std::uint8_t level = 0;  // no_answer: what every byte read back, FF or 00
};

// Asked after each failed delay while every byte read back so far, at every
// delay, was one level: true ends the search, unless one short look at
// kLookDelay finds a board after all (a slow one, which reads one level at
// short delays as an empty port does at all of them).
using GiveUp = std::function<bool(std::uint8_t delay)>;
inline constexpr std::uint8_t kLookDelay = 32;

// Tries delays 1 to 255 in turn, `rounds` rounds each, and stops at the first
// delay whose rounds all come back intact, or when the library refuses, or
// when `give_up` (if any) says so. A delay is given up at its first damaged
// round: later rounds can't make it good. It counts only when the patterns
// sent at it showed every data bit both at 0 and at 1: where the rounds asked
// for don't, the next round, the complement, is run too.
Calibration find_delay(std::size_t size, unsigned rounds, const RoundFunction& round,
                       const std::function<void(const DelayVerdict&)>& report,
                       const GiveUp& give_up = {});

// "delay 4: 256 of 256 bytes wrong in round 1 (first at 0000: sent 5A, read FF)"
// "delay 5: intact in 3 rounds"
std::string verdict_text(const DelayVerdict& verdict);

}  // namespace qcli
