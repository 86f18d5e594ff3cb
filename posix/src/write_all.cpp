// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// Writing a whole buffer across short writes and EINTR.
#include "posix/write_all.h"

#include <unistd.h>

#include <cerrno>

namespace quillon::posix {

bool write_all(int fd, const void* data, std::size_t size) noexcept {
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, at, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = EIO;
            }
            return false;
        }
        at += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace quillon::posix
