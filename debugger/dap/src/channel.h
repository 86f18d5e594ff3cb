/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The protocol's framing: a Content-Length header, an empty line, and that
// many bytes of JSON. Bad input never throws: a body that is not a JSON
// object is skipped with a word on why, and a header that cannot be followed
// ends the stream with the reason kept.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace dap {

class Channel {
public:
    // The largest body taken; a longer one is taken for a broken stream.
    static constexpr std::size_t kMaxBody = 16u << 20;

    Channel(int in_fd, int out_fd) : in_(in_fd), out_(out_fd) {}

    struct Incoming {
        nlohmann::json message;  // an object, or null when `skipped` says why
        std::string skipped;
    };
    // The next whole message, waiting up to `timeout_ms` (-1: for ever);
    // nothing when none came, or once the input has ended or broken.
    std::optional<Incoming> receive(int timeout_ms);
    bool closed() const { return closed_; }
    // Why the stream could not be followed, empty when it just ended.
    const std::string& broken() const { return broken_; }

    // Strings that are not UTF-8 go out with U+FFFD, never as an exception.
    void send(const nlohmann::json& message);

private:
    std::optional<Incoming> take();
    void fail(std::string why);

    int in_;
    int out_;
    std::string buffer_;
    bool closed_ = false;
    std::string broken_;
};

}  // namespace dap
