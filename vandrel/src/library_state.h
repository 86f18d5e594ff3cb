/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// Everything the library holds lives in one record in static storage: nothing is
// allocated, and every value is the one it had when the library was loaded until an
// export changes it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "vandrel.h"
#include "vandrel_board.h"

namespace vandrel {

inline constexpr std::size_t kBufferCapacity = board::kRamSize;
inline constexpr std::size_t kLastErrorCapacity = 400;

inline constexpr std::uint16_t kPortBaseAtLoad = board::kPortBases[board::kPortIndexAtLoad];
inline constexpr std::uint8_t kDelayAtLoad = 1;
inline constexpr std::uint8_t kLineImageAtLoad = board::kBoardRunning;

struct LibraryState {
    std::uint16_t port_base = kPortBaseAtLoad;
    std::uint8_t delay = kDelayAtLoad;
    std::uint8_t line_image = kLineImageAtLoad;
    vandrel_progress_callback callback = nullptr;
    std::uint16_t buffer_size = 0;
    std::array<std::uint8_t, kBufferCapacity> buffer{};
    std::array<char, kLastErrorCapacity> last_error{};
};

// Defined here so that every port access reaches it without a call: the
// transfers touch it several times per bit.
inline constinit LibraryState g_state{};

inline LibraryState& state() {
    return g_state;
}

// Puts every value back to the one it has at load; only the tests need this.
void reset_state();

}  // namespace vandrel
