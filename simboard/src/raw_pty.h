/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// A pseudo-terminal pair in raw mode: bytes pass as they are, nothing is
// echoed and no line is edited. Owns both ends; the slave end stays open so
// that the terminal keeps working while nobody else has it open.
#pragma once

#include "posix/fd.h"

#include <string>

namespace sim {

class RawPty {
public:
    // Which step failed, for callers that word their messages apart.
    enum class Failure { none, open, prepare };

    RawPty();
    ~RawPty();
    RawPty(const RawPty&) = delete;
    RawPty& operator=(const RawPty&) = delete;

    bool valid() const { return master_.valid(); }
    Failure failure() const { return failure_; }
    // The errno of the failed step.
    int error_number() const { return error_number_; }
    // "cannot open a pseudo-terminal: ..." or "cannot prepare a pseudo-terminal: ...".
    std::string error() const;

    int master() const { return master_.get(); }
    int slave() const { return slave_.get(); }
    const std::string& device() const { return device_; }

private:
    quillon::posix::Fd master_;
    quillon::posix::Fd slave_;
    Failure failure_ = Failure::none;
    int error_number_ = 0;
    std::string device_;
};

}  // namespace sim
