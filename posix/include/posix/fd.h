/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// A file descriptor that closes with its owner.
#pragma once

namespace quillon::posix {

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd();
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Hands the descriptor on; the holder is empty afterwards.
    int release();
    // Closes now; false (errno set) when the close reports a failed write.
    bool close();

private:
    int fd_ = -1;
};

}  // namespace quillon::posix
