/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The simulated 8051's UART as a pseudo-terminal, for picocom or screen: what
// the firmware sends is written to it, what is typed there goes to the
// firmware while one runs and is dropped otherwise.
#pragma once

#include <mutex>
#include <string>
#include <thread>

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

    bool valid() const { return pty_.valid() && wake_[0] >= 0; }
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
    int wake_[2] = {-1, -1};
    std::string link_;
    std::mutex mutex_;
    int feed_fd_ = -1;
    std::thread thread_;
};

}  // namespace sim
