// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The image checksum over the buffer's valid bytes.
#include "checksum.h"

#include "last_error.h"
#include "library_state.h"

namespace vandrel {

std::uint16_t image_checksum() {
    const auto& st = state();
    if (st.buffer_size == 0) {
        set_last_error("empty buffer");
        return 0;
    }
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < st.buffer_size; ++i) {
        sum = static_cast<std::uint16_t>(sum + st.buffer[i]);
    }
    if (sum >= 0x1000) {
        return sum;
    }
    return static_cast<std::uint16_t>(((sum & 0x0F00u) << 4) | (sum & 0x00FFu));
}

}  // namespace vandrel
