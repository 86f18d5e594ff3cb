// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// Commands to the simulator's console and its answers up to the NUL prompt.
#include "sim_console.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <functional>

namespace sim {

SimConsole::SimConsole(std::string& error) {
    if (!pty_.valid()) {
        error = pty_.error();
        return;
    }
    ::fcntl(pty_.master(), F_SETFL, ::fcntl(pty_.master(), F_GETFL) | O_NONBLOCK);
}

bool SimConsole::send(std::string_view command) {
    std::string line(command);
    line += '\n';
    std::string_view rest = line;
    while (!rest.empty()) {
        const ssize_t written = ::write(pty_.master(), rest.data(), rest.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN) {
                pollfd ready{pty_.master(), POLLOUT, 0};
                if (::poll(&ready, 1, 1000) <= 0) {
                    return false;
                }
                continue;
            }
            return false;
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::optional<std::string> SimConsole::read_through(std::string_view text,
                                                    std::chrono::milliseconds timeout) {
    return read(timeout, [text](const std::string& got) {
        const std::size_t at = got.find(text);
        return at != std::string::npos ? at + text.size() : std::string::npos;
    });
}

std::optional<std::string> SimConsole::read_until(std::string_view ending,
                                                  std::chrono::milliseconds timeout) {
    return read(timeout, [ending](const std::string& got) {
        const std::size_t at = ending.empty() ? 0 : got.find(ending);
        if (at == std::string::npos) {
            return std::string::npos;
        }
        const std::size_t prompt = got.find('\0', at + ending.size());
        return prompt != std::string::npos ? prompt + 1 : prompt;
    });
}

std::optional<std::string> SimConsole::read(
    std::chrono::milliseconds timeout,
    const std::function<std::size_t(const std::string&)>& complete) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string text = std::move(pending_);
    pending_.clear();
    std::array<char, 16384> chunk{};
    while (true) {
        if (const std::size_t end = complete(text); end != std::string::npos) {
            // What follows was printed on the simulator's own account (a stop
            // right after the start, say): kept for take_pending().
            pending_ = text.substr(end);
            text.resize(end);
            if (!text.empty() && text.back() == '\0') {
                text.pop_back();  // the prompt
            }
            return text;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            pending_ = std::move(text);  // for take_pending(): what came, if anything
            return std::nullopt;
        }
        pollfd ready{pty_.master(), POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
        if (polled < 0 && errno != EINTR) {
            return std::nullopt;
        }
        if (polled <= 0) {
            continue;
        }
        const ssize_t got = ::read(pty_.master(), chunk.data(), chunk.size());
        if (got > 0) {
            text.append(chunk.data(), static_cast<std::size_t>(got));
        } else if (got < 0 && errno != EAGAIN && errno != EINTR) {
            return std::nullopt;
        }
    }
}

std::string SimConsole::take_pending() {
    std::string text = std::move(pending_);
    pending_.clear();
    std::array<char, 4096> chunk{};
    ssize_t got;
    while ((got = ::read(pty_.master(), chunk.data(), chunk.size())) > 0) {
        text.append(chunk.data(), static_cast<std::size_t>(got));
    }
    return text;
}

}  // namespace sim
