// Writing a whole buffer to a descriptor, across short writes and signals.
#pragma once

#include <cstdint>
#include <span>

namespace qcli {

// False with errno set on a failure (EIO when the descriptor takes nothing).
bool write_all(int fd, std::span<const std::uint8_t> bytes);

}  // namespace qcli
