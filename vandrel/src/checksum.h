/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The image checksum: get_chsum's value.
#pragma once

#include <cstdint>

namespace vandrel {

// Sum of the image's bytes, low 16 bits; a sum below 0x1000 has its third hex digit
// moved up one place. 0 with "empty buffer" on an empty buffer.
std::uint16_t image_checksum();

}  // namespace vandrel
