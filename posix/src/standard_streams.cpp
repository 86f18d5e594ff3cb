// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// Opening /dev/null on standard streams that were closed at start.
#include "posix/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quillon::posix {

namespace {

// Bit fd set: descriptor fd was closed at the start.
unsigned g_closed_at_start = 0;

void open_closed_ones() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        g_closed_at_start |= 1u << fd;
        // open returns the lowest free number, which is this one: the lower ones are open.
        const int null_fd = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (null_fd >= 0 && null_fd != fd) {
            ::close(null_fd);  // no /dev/null usable for this stream; leave it closed
        }
    }
}

}  // namespace

void keep_standard_streams_open() {
    // Once is enough: nothing here closes them again.
    static const bool done = (open_closed_ones(), true);
    (void)done;
}

bool standard_stream_was_closed(int fd) {
    return fd >= STDIN_FILENO && fd <= STDERR_FILENO && (g_closed_at_start & (1u << fd)) != 0;
}

}  // namespace quillon::posix
