// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The descriptor holder's move and close.
#include "posix/fd.h"

#include <unistd.h>

#include <utility>

namespace quillon::posix {

Fd::~Fd() {
    close();
}

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

int Fd::release() {
    return std::exchange(fd_, -1);
}

bool Fd::close() {
    const int fd = release();
    return fd < 0 || ::close(fd) == 0;
}

}  // namespace quillon::posix
