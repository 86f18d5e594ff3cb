/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Telling a port where nothing answers from a board that does: a data input
// with nothing on it sits at one level, so every byte read back is FF (the
// pulled-up input of an empty port) or 00 (an input held low).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace qcli {

// The I/O address the commands really drive, as text ("0x378"): the port in
// force, or where the port-access layer takes it.
std::string board_at();

// True when the port in force is a real one, whichever back end, where an
// all-FF download more likely means no board than RAM full of FF.
bool real_port();

// FF or 00 when every byte is that value; nothing otherwise, or for no bytes.
std::optional<std::uint8_t> one_level(std::span<const std::uint8_t> bytes);

// True when `read` is one level that `sent` is not made of alone: what an
// upload reads back where nothing stored it.
bool nothing_answered(std::span<const std::uint8_t> sent, std::span<const std::uint8_t> read);

// "no board answers at 0x378: every byte read back FF (check the cable and the
// board's power, or a larger delay than 10: quillon-cli calibrate)": a board
// too slow for the delay in force stores nothing either. `where` is put after
// "read back FF", e.g. " at delays 1 to 8"; a search over delays, which has
// tried the larger ones, gives it and gets no advice on the delay.
std::string no_answer_text(std::uint8_t level, const std::string& where = "");

}  // namespace qcli
