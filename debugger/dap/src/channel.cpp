// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Reading and writing the protocol's framed messages.
#include "channel.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "posix/write_all.h"

namespace dap {

namespace {

// A header block longer than this without its empty line is not a header.
constexpr std::size_t kMaxHeader = 8192;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// The length a Content-Length header gives: decimal digits only, at most kMaxBody.
std::optional<std::size_t> length_of(std::string_view value) {
    if (value.empty() || value.size() > 9) {
        return std::nullopt;
    }
    std::size_t length = 0;
    for (const char c : value) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        length = length * 10 + static_cast<std::size_t>(c - '0');
    }
    return length;
}

}  // namespace

std::optional<Channel::Incoming> Channel::receive(int timeout_ms) {
    while (true) {
        if (auto message = take()) {
            return message;
        }
        if (closed_) {
            return std::nullopt;
        }
        pollfd ready{in_, POLLIN, 0};
        const int polled = ::poll(&ready, 1, timeout_ms);
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled <= 0) {
            return std::nullopt;
        }
        char chunk[65536];
        const ssize_t got = ::read(in_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            closed_ = true;
            if (!buffer_.empty() && trimmed(buffer_).size() > 0) {
                broken_ = "the input ended inside a message";
            }
            continue;
        }
        buffer_.append(chunk, static_cast<std::size_t>(got));
        timeout_ms = 0;
    }
}

void Channel::fail(std::string why) {
    closed_ = true;
    broken_ = std::move(why);
    buffer_.clear();
}

std::optional<Channel::Incoming> Channel::take() {
    if (closed_ && !broken_.empty()) {
        return std::nullopt;
    }
    const std::size_t end = buffer_.find("\r\n\r\n");
    if (end == std::string::npos) {
        if (buffer_.size() > kMaxHeader) {
            fail("no message header ends within " + std::to_string(kMaxHeader) + " bytes");
        }
        return std::nullopt;
    }
    std::optional<std::size_t> length;
    std::string_view headers(buffer_.data(), end);
    while (!headers.empty()) {
        const std::size_t eol = headers.find("\r\n");
        const std::string_view line = headers.substr(0, eol);
        headers.remove_prefix(eol == std::string_view::npos ? headers.size() : eol + 2);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            fail("a message header without a colon: \"" + std::string(line.substr(0, 80)) + "\"");
            return std::nullopt;
        }
        if (trimmed(line.substr(0, colon)) == "Content-Length") {
            const std::string_view value = trimmed(line.substr(colon + 1));
            length = length_of(value);
            if (!length || *length > kMaxBody) {
                fail("Content-Length must be a byte count up to " + std::to_string(kMaxBody) +
                     ", not \"" + std::string(value.substr(0, 40)) + "\"");
                return std::nullopt;
            }
        }
    }
    if (!length) {
        fail("a message header without Content-Length");
        return std::nullopt;
    }
    if (buffer_.size() < end + 4 + *length) {
        return std::nullopt;
    }
    const std::string body = buffer_.substr(end + 4, *length);
    buffer_.erase(0, end + 4 + *length);
    Incoming incoming{nlohmann::json::parse(body, nullptr, false), {}};
    if (incoming.message.is_discarded()) {
        incoming = {nullptr, "a message whose body is not JSON was skipped"};
    } else if (!incoming.message.is_object()) {
        incoming = {nullptr, "a message that is not a JSON object was skipped"};
    }
    return incoming;
}

void Channel::send(const nlohmann::json& message) {
    const std::string body = message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    const std::string framed = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    if (!quillon::posix::write_all(out_, framed.data(), framed.size())) {
        closed_ = true;  // the client is gone: nobody reads what would follow
    }
}

}  // namespace dap
