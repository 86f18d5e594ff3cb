// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The UART's pseudo-terminal: its link, and typed input copied to the running 8051.
#include "uart_pty.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace sim {

UartPty::UartPty(const std::string& link, std::string& error) {
    int wake[2];
    if (!pty_.valid() || ::pipe2(wake, O_CLOEXEC) != 0) {
        const int code = pty_.valid() ? errno : pty_.error_number();
        error = std::string("cannot open a pseudo-terminal for the UART: ") + std::strerror(code);
        return;
    }
    wake_read_ = quillon::posix::Fd(wake[0]);
    wake_write_ = quillon::posix::Fd(wake[1]);
    const std::filesystem::path where(link);
    if (where.has_parent_path()) {
        std::error_code ec;
        std::filesystem::create_directories(where.parent_path(), ec);
        std::filesystem::remove(where, ec);
        std::filesystem::create_symlink(pty_.device(), where, ec);
        if (ec) {
            error = "cannot link " + link + " to " + pty_.device() + ": " + ec.message();
        } else {
            link_ = link;
        }
    }
    thread_ = std::thread([this] { copy_input(); });
}

UartPty::~UartPty() {
    if (thread_.joinable()) {
        [[maybe_unused]] const auto written = ::write(wake_write_.get(), "x", 1);
        thread_.join();
    }
    feed(-1);
    if (!link_.empty()) {
        // Only our own link: another program may have linked its terminal since.
        std::error_code ec;
        if (std::filesystem::read_symlink(link_, ec) == pty_.device()) {
            std::filesystem::remove(link_, ec);
        }
    }
}

int UartPty::output() const {
    const int fd = ::fcntl(pty_.master(), F_DUPFD_CLOEXEC, 0);
    if (fd >= 0) {
        // A terminal nobody reads fills up: the firmware must not stall on it.
        // (The flag is the open file's, shared with the master: reads poll anyway.)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    return fd;
}

void UartPty::feed(int fd) {
    std::lock_guard lock(mutex_);
    feed_ = quillon::posix::Fd(fd);
}

void UartPty::copy_input() {
    // A simulator that just ended leaves a pipe without reader: the write then
    // fails with EPIPE here instead of ending the whole program.
    sigset_t pipe_signal;
    ::sigemptyset(&pipe_signal);
    ::sigaddset(&pipe_signal, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
    std::array<char, 1024> chunk{};
    while (true) {
        std::array<pollfd, 2> ready{pollfd{pty_.master(), POLLIN, 0},
                                    pollfd{wake_read_.get(), POLLIN, 0}};
        if (::poll(ready.data(), ready.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (ready[1].revents != 0) {
            return;
        }
        if ((ready[0].revents & POLLIN) == 0) {
            continue;
        }
        const ssize_t got = ::read(pty_.master(), chunk.data(), chunk.size());
        if (got <= 0) {
            continue;  // EAGAIN, or nobody on the other side right now
        }
        std::lock_guard lock(mutex_);
        if (feed_.valid()) {
            [[maybe_unused]] const auto written =
                ::write(feed_.get(), chunk.data(), static_cast<std::size_t>(got));
        }
    }
}

}  // namespace sim
