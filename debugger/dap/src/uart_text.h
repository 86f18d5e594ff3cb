/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The firmware's UART bytes as an editor's output: valid UTF-8 always (a
// byte that is not part of a UTF-8 character becomes U+FFFD), in pieces of
// whole lines, or of what came within a few milliseconds.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace dap {

// `bytes` as UTF-8: each maximal ill-formed piece becomes U+FFFD, as
// Unicode's chapter 3 recommends.
std::string valid_utf8(std::string_view bytes);

class UartText {
public:
    using Clock = std::chrono::steady_clock;
    // How long a line without its end waits for more before it goes out.
    static constexpr std::chrono::milliseconds kWait{20};

    void add(std::string_view bytes, Clock::time_point now);
    // The text to show now: the whole lines, and the rest once it has waited
    // kWait (a character cut by the read waits for its last bytes).
    std::string due(Clock::time_point now);
    // Everything, at a stop or the end.
    std::string all();

private:
    std::string pending_;
    Clock::time_point since_{};
};

}  // namespace dap
