// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// UART bytes made valid UTF-8 and cut into output pieces.
#include "uart_text.h"

#include <cstdint>

namespace dap {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// How many bytes of `bytes` from `at` form one well-formed character, or 0;
// `prefix` gets how many of them are a well-formed start (for the ill-formed
// piece to replace and for a character cut at the end).
std::size_t character(std::string_view bytes, std::size_t at, std::size_t& prefix) {
    const auto byte = [&bytes](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    const std::uint8_t lead = byte(at);
    prefix = 1;
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (at + i >= bytes.size()) {
            return 0;
        }
        const std::uint8_t next = byte(at + i);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) {
            return 0;
        }
        ++prefix;
    }
    return length;
}

// Where a character that the end of `bytes` cuts begins, or the size.
std::size_t cut_character(std::string_view bytes) {
    for (std::size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const std::size_t at = bytes.size() - back;
        std::size_t prefix = 0;
        if (static_cast<std::uint8_t>(bytes[at]) >= 0xC0) {
            return character(bytes, at, prefix) == 0 && prefix == back ? at : bytes.size();
        }
    }
    return bytes.size();
}

}  // namespace

std::string valid_utf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t prefix = 0;
        if (const std::size_t length = character(bytes, at, prefix); length != 0) {
            text.append(bytes.substr(at, length));
            at += length;
        } else {
            text.append(kReplacement);
            at += prefix;
        }
    }
    return text;
}

void UartText::add(std::string_view bytes, Clock::time_point now) {
    if (bytes.empty()) {
        return;
    }
    if (pending_.empty()) {
        since_ = now;
    }
    pending_.append(bytes);
}

std::string UartText::due(Clock::time_point now) {
    std::size_t cut = pending_.rfind('\n');
    cut = cut == std::string::npos ? 0 : cut + 1;
    if (now - since_ >= kWait) {
        cut = cut_character(pending_);
    }
    std::string text = valid_utf8(std::string_view(pending_).substr(0, cut));
    pending_.erase(0, cut);
    since_ = now;
    return text;
}

std::string UartText::all() {
    std::string text = valid_utf8(pending_);
    pending_.clear();
    return text;
}

}  // namespace dap
