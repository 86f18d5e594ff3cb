/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The board's lines as the library drives them: the five line-level primitives
// on the port's data and status registers. All timing is counted in
// status-register reads of d x d per unit.
#pragma once

#include <cstdint>

#include "vandrel_board.h"

namespace vandrel {

using board::kBoardHeld;
using board::kBoardRunning;
using board::kClockLine;
using board::kDataInput;
using board::kDataLine;
using board::kHighAddressStrobe;
using board::kLoadLine;
using board::kLowAddressStrobe;
using board::kReadStrobe;
using board::kResetLine;
using board::kWriteStrobe;

inline constexpr unsigned kShortWait = 1;
inline constexpr unsigned kLongWait = 2;

void write_data(std::uint8_t value);
std::uint8_t read_status();

void port_delay(unsigned units);
void send_byte(std::uint8_t value);
std::uint8_t receive_byte();
void latch_pulse(std::uint8_t strobe);
void pulse_reset();

}  // namespace vandrel
