/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The simulator's command console on a pseudo-terminal of our own: no network
// port is opened, so nothing outside this process can reach it. The simulator
// is started with a NUL prompt, which marks the end of every answer.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "raw_pty.h"

namespace sim {

class SimConsole {
public:
    // Opens the terminal pair; on failure `error` says why and valid() is false.
    explicit SimConsole(std::string& error);
    SimConsole(const SimConsole&) = delete;
    SimConsole& operator=(const SimConsole&) = delete;

    bool valid() const { return pty_.valid(); }
    // The terminal to hand to the simulator.
    const std::string& device() const { return pty_.device(); }

    // Sends one command line.
    bool send(std::string_view command);
    // Reads until `ending` has been seen and then a prompt; returns all text
    // read, or nothing when `timeout` passed first (take_pending() then has
    // what was read).
    std::optional<std::string> read_until(std::string_view ending,
                                          std::chrono::milliseconds timeout);
    // Reads up to the next prompt.
    std::optional<std::string> read_prompt(std::chrono::milliseconds timeout) {
        return read_until({}, timeout);
    }
    // Reads until `text` has been printed (for answers without a prompt);
    // returns all text read up to its end.
    std::optional<std::string> read_through(std::string_view text,
                                            std::chrono::milliseconds timeout);
    // Reads until `complete` finds the end of the answer in the text so far
    // (it returns the answer's length, or npos while it is incomplete); what
    // follows stays for the next read.
    std::optional<std::string> read(std::chrono::milliseconds timeout,
                                    const std::function<std::size_t(const std::string&)>& complete);
    // Whatever the simulator has printed so far, without waiting.
    std::string take_pending();
    // For waiting on the simulator: readable when it has printed something;
    // text already read ahead counts as printed.
    int fd() const { return pty_.master(); }
    bool has_pending() const { return !pending_.empty(); }

private:
    std::string pending_;  // read past the end of the last answer
    // Its slave end is kept open, so reads never fail before the simulator opens it.
    RawPty pty_;
};

}  // namespace sim
