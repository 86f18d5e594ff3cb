/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The dump layout: address, 16 bytes in hexadecimal, the same as characters.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>

namespace qcli {

// "0010: 48 65 6C 6C 6F 00 ...  Hello..." with '.' for what doesn't print.
void hex_dump(std::ostream& out, std::span<const std::uint8_t> bytes);

}  // namespace qcli
