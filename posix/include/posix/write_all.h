/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// Writing a whole buffer to a descriptor, across short writes and signals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace quillon::posix {

// False with errno set on a failure (EIO when the descriptor takes nothing).
// Safe in a signal handler.
bool write_all(int fd, const void* data, std::size_t size) noexcept;

inline bool write_all(int fd, std::span<const std::uint8_t> bytes) noexcept {
    return write_all(fd, bytes.data(), bytes.size());
}
inline bool write_all(int fd, std::string_view text) noexcept {
    return write_all(fd, text.data(), text.size());
}

}  // namespace quillon::posix
