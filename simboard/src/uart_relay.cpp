// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The relay thread from the UART pipe to the log and the terminal.
#include "uart_relay.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <utility>

#include "posix/write_all.h"

namespace sim {

namespace {

// Reads that find the pipe empty return at once: the thread and drain() both
// take what is there.
quillon::posix::Fd nonblocking(quillon::posix::Fd fd) {
    if (fd.valid()) {
        ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) | O_NONBLOCK);
    }
    return fd;
}

}  // namespace

UartRelay::UartRelay(quillon::posix::Fd pipe_fd, quillon::posix::Fd log_fd,
                     quillon::posix::Fd terminal_fd, std::atomic<int>* log_error)
    : pipe_fd_(nonblocking(std::move(pipe_fd))),
      log_fd_(std::move(log_fd)),
      terminal_fd_(std::move(terminal_fd)),
      log_error_(log_error),
      activity_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      thread_([this] { copy(); }) {}

UartRelay::~UartRelay() {
    thread_.join();
}

void UartRelay::take_activity() {
    eventfd_t count = 0;
    ::eventfd_read(activity_fd_.get(), &count);
}

void UartRelay::copy() {
    while (true) {
        pollfd ready{pipe_fd_.get(), POLLIN, 0};
        if (::poll(&ready, 1, -1) < 0 && errno != EINTR) {
            break;
        }
        const std::lock_guard lock(mutex_);
        if (!take_pipe()) {
            break;
        }
    }
    ::eventfd_write(activity_fd_.get(), 1);  // the simulator has ended
}

void UartRelay::drain() {
    const std::lock_guard lock(mutex_);
    if (!ended_) {
        take_pipe();
    }
}

bool UartRelay::take_pipe() {
    std::array<char, 4096> chunk{};
    bool copied = false;
    while (true) {
        const ssize_t got = ::read(pipe_fd_.get(), chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && errno == EAGAIN) {
            break;
        }
        if (got <= 0) {
            ended_ = true;
            break;
        }
        copied = true;
        if (terminal_fd_.valid()) {
            [[maybe_unused]] const auto taken =
                ::write(terminal_fd_.get(), chunk.data(), static_cast<std::size_t>(got));
        }
        // Without a log the pipe is still drained, so the simulator never blocks.
        if (log_fd_.valid() && !quillon::posix::write_all(log_fd_.get(), chunk.data(),
                                                          static_cast<std::size_t>(got))) {
            // What follows would leave a gap in the log: it takes nothing more.
            if (log_error_ != nullptr) {
                log_error_->store(errno);
            }
            log_fd_ = quillon::posix::Fd();
        }
    }
    if (copied) {
        ::eventfd_write(activity_fd_.get(), 1);
    }
    return !ended_;
}

}  // namespace sim
