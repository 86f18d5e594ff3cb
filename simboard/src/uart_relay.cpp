// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "uart_relay.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "posix/write_all.h"

namespace sim {

UartRelay::UartRelay(int pipe_fd, int log_fd, int terminal_fd, std::atomic<int>* log_error)
    : pipe_fd_(pipe_fd),
      log_fd_(log_fd),
      terminal_fd_(terminal_fd),
      log_error_(log_error),
      activity_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      thread_([this] { copy(); }) {}

UartRelay::~UartRelay() {
    thread_.join();
    ::close(pipe_fd_);
    if (log_fd_ >= 0) {
        ::close(log_fd_);
    }
    if (terminal_fd_ >= 0) {
        ::close(terminal_fd_);
    }
    if (activity_fd_ >= 0) {
        ::close(activity_fd_);
    }
}

void UartRelay::take_activity() {
    eventfd_t count = 0;
    ::eventfd_read(activity_fd_, &count);
}

void UartRelay::copy() {
    std::array<char, 4096> chunk{};
    while (true) {
        const ssize_t got = ::read(pipe_fd_, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            ::eventfd_write(activity_fd_, 1);
            return;  // the simulator has ended
        }
        if (terminal_fd_ >= 0) {
            [[maybe_unused]] const auto taken =
                ::write(terminal_fd_, chunk.data(), static_cast<std::size_t>(got));
        }
        // Without a log the pipe is still drained, so the simulator never blocks.
        if (log_fd_ >= 0 &&
            !quillon::posix::write_all(log_fd_, chunk.data(), static_cast<std::size_t>(got))) {
            // What follows would leave a gap in the log: it takes nothing more.
            if (log_error_ != nullptr) {
                log_error_->store(errno);
            }
            ::close(log_fd_);
            log_fd_ = -1;
        }
        ::eventfd_write(activity_fd_, 1);
    }
}

}  // namespace sim
