/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Where the 8051 may be after one instruction: the one that follows, a
// branch's or call's target, the address a ret takes from the stack, A+DPTR
// of jmp @a+dptr, and the interrupt vectors, since an interrupt may come.
// One run to the first of them is one instruction step.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "debug_target.h"

namespace debugger {

// The length in bytes of the instruction `opcode` begins.
unsigned instruction_length(std::uint8_t opcode);

std::vector<unsigned> next_addresses(std::span<const std::uint8_t> code, unsigned pc,
                                     Target& target);

}  // namespace debugger
