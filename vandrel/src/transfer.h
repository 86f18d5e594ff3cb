/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// RAM transfers between the transfer buffer and the board, byte i to address i,
// with the board's microcontroller held in reset throughout.
#pragma once

#include <cstdint>

namespace vandrel {

// Returns size, or 0 (with the reason in the last-error text) when refused.
std::uint16_t download(std::uint16_t size);

// Returns the number of bytes sent, or 0 when refused.
std::uint16_t upload();

}  // namespace vandrel
