// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// Opening a pseudo-terminal pair in raw mode.
#include "raw_pty.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace sim {

RawPty::RawPty() {
    master_ = quillon::posix::Fd(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master_.valid()) {
        failure_ = Failure::open;
        error_number_ = errno;
        return;
    }
    std::array<char, 128> name{};
    if (::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0 ||
        ::ptsname_r(master_.get(), name.data(), name.size()) != 0) {
        failure_ = Failure::prepare;
        error_number_ = errno;
        master_.close();
        return;
    }
    device_ = name.data();
    slave_ = quillon::posix::Fd(::open(device_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (slave_.valid()) {
        termios mode{};
        if (::tcgetattr(slave_.get(), &mode) == 0) {
            ::cfmakeraw(&mode);
            ::tcsetattr(slave_.get(), TCSANOW, &mode);
        }
    }
}

RawPty::~RawPty() = default;

std::string RawPty::error() const {
    switch (failure_) {
        case Failure::open:
            return std::string("cannot open a pseudo-terminal: ") + std::strerror(error_number_);
        case Failure::prepare:
            return std::string("cannot prepare a pseudo-terminal: ") + std::strerror(error_number_);
        case Failure::none:
            break;
    }
    return {};
}

}  // namespace sim
