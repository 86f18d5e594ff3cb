/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The simulated 8051's UART as a pseudo-terminal, for picocom or screen: what
// the firmware sends is written to it, what is typed there goes to the
// firmware while one runs and is dropped otherwise.
#pragma once

#include <mutex>
#include <string>
#include <thread>

#include "posix/fd.h"
#include "raw_pty.h"

namespace sim {

class UartPty {
public:
    // Opens the terminal and links `link` to it (no link when `link` has no
    // folder part); on failure valid() is false and `error` says why.
    UartPty(const std::string& link, std::string& error);
    ~UartPty();
    UartPty(const UartPty&) = delete;
    UartPty& operator=(const UartPty&) = delete;

    bool valid() const { return pty_.valid() && wake_read_.valid(); }
    const std::string& device() const { return pty_.device(); }
    // A descriptor the UART's output can be written to without ever blocking
    // (the caller closes it).
    int output() const;
    // Typed bytes go to `fd` from now on (-1: dropped); takes over `fd`.
    void feed(int fd);

private:
    void copy_input();

    // Its slave end is kept open, so the terminal stays usable between programs.
    RawPty pty_;
    // Written to when the copy must end; the thread polls the other end.
    quillon::posix::Fd wake_read_;
    quillon::posix::Fd wake_write_;
    std::string link_;
    std::mutex mutex_;
    quillon::posix::Fd feed_;
    std::thread thread_;
};

}  // namespace sim
