// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "s51_answers.h"

#include <algorithm>
#include <cctype>
#include <regex>

#include "intel_hex_image.h"

namespace sim {

namespace {

constexpr std::string_view kEndRecord = ":00000001FF";

}  // namespace

std::optional<StopLine> find_stop(std::string_view text) {
    const std::size_t at = text.rfind("Stop at 0x");
    if (at == std::string_view::npos || text.find('\0', at) == std::string_view::npos) {
        return std::nullopt;
    }
    static const std::regex stop_line(R"(^Stop at 0x([0-9a-fA-F]+): \((\d+)\) ([^\r\n]*))");
    static const std::regex event_line(R"(Event `(\w+)' at (\w+)\[(?:0x([0-9a-fA-F]+))?)");
    const std::string rest(text.substr(at, text.find('\0', at) - at));
    std::smatch found;
    if (!std::regex_search(rest, found, stop_line)) {
        return std::nullopt;
    }
    StopLine stop;
    stop.pc = static_cast<unsigned>(std::stoul(found[1].str(), nullptr, 16));
    stop.code = std::stoi(found[2].str());
    stop.reason = found[3].str();
    stop.begin = at;
    if (std::smatch event; std::regex_search(rest, event, event_line)) {
        stop.event_kind = event[1].str();
        stop.event_space = event[2].str();
        if (event[3].matched) {
            stop.event_address = static_cast<unsigned>(std::stoul(event[3].str(), nullptr, 16));
        }
    }
    return stop;
}

std::optional<std::uint8_t> transmitted_byte(std::string_view text) {
    static constexpr std::string_view kTransmitter = "\nTransmitter ";
    const std::size_t at = text.rfind(kTransmitter);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    static const std::regex buffer(R"(^Transmitter [^\r\n]* buf=0x([0-9a-fA-F]{2}))");
    const std::string line(text.substr(at + 1, text.find('\n', at + 1) - at - 1));
    std::smatch found;
    if (!std::regex_search(line, found, buffer)) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(std::stoul(found[1].str(), nullptr, 16));
}

std::optional<std::uint64_t> clocks_in(std::string_view text) {
    static const std::regex clocks(R"(since last reset= [0-9.]+ sec \((\d+) clks\))");
    const std::string copy(text);
    std::smatch found;
    if (!std::regex_search(copy, found, clocks)) {
        return std::nullopt;
    }
    return std::stoull(found[1].str());
}

std::vector<std::string_view> dumps_in(std::string_view text) {
    std::vector<std::string_view> dumps;
    std::size_t from = 0;
    while (true) {
        // A record starts a line or follows a prompt; other lines may hold a colon too.
        std::size_t start = text.find(':', from);
        while (start != std::string_view::npos && start > 0 && text[start - 1] != '\n' &&
               text[start - 1] != '\0') {
            start = text.find(':', start + 1);
        }
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t end = text.find(kEndRecord, start);
        if (end == std::string_view::npos) {
            break;
        }
        dumps.push_back(text.substr(start, end + kEndRecord.size() - start));
        from = end + kEndRecord.size();
    }
    return dumps;
}

bool store_dump(std::string_view dump, std::size_t size, std::span<std::uint8_t> image) {
    const auto stored = parse_intel_hex(dump, image);
    return stored && *stored == size;
}

std::vector<int> breakpoints_set(std::string_view text) {
    static const std::regex set(R"(Breakpoint (\d+) at 0x)");
    std::vector<int> numbers;
    const std::string copy(text);
    for (auto it = std::sregex_iterator(copy.begin(), copy.end(), set);
         it != std::sregex_iterator(); ++it) {
        numbers.push_back(std::stoi((*it)[1].str()));
    }
    return numbers;
}

std::string unexpected_answer(std::string_view answer, const std::vector<std::string>& commands,
                              std::initializer_list<std::string_view> expected) {
    std::string_view rest = answer;
    while (!rest.empty()) {
        const std::size_t end = rest.find_first_of(std::string_view("\n\0", 2));
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.remove_suffix(1);
        }
        if (!line.empty() && std::find(commands.begin(), commands.end(), line) == commands.end() &&
            std::find(expected.begin(), expected.end(), line) == expected.end()) {
            return std::string(line);
        }
    }
    return {};
}

namespace {

bool is_hex_byte(std::string_view word) {
    return word.size() == 2 && std::isxdigit(static_cast<unsigned char>(word[0])) != 0 &&
           std::isxdigit(static_cast<unsigned char>(word[1])) != 0;
}

}  // namespace

// "0x0059  ? f0       MOVX   @DPTR,A\033[0K": the address, marks of a
// breakpoint (F) or of code not run yet (?), the bytes, the text.
std::optional<std::string> disassembly_line(std::string_view line) {
    if (const std::size_t nul = line.rfind('\0'); nul != std::string_view::npos) {
        line.remove_prefix(nul + 1);
    }
    line = line.substr(0, line.find_first_of("\033\r"));
    if (!line.starts_with("0x")) {
        return std::nullopt;
    }
    std::size_t at = line.find(' ');
    const std::string_view address =
        line.substr(2, at == std::string_view::npos ? line.npos : at - 2);
    if (address.empty() ||
        address.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
        return std::nullopt;
    }
    std::string bytes;
    std::size_t text_at = std::string_view::npos;
    while (at != std::string_view::npos && at < line.size()) {
        const std::size_t start = line.find_first_not_of(' ', at);
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(line.find(' ', start), line.size());
        const std::string_view word = line.substr(start, end - start);
        if (is_hex_byte(word)) {
            bytes += " " + std::string(word);
        } else if (!bytes.empty()) {
            text_at = start;
            break;
        }
        at = end;
    }
    if (bytes.empty()) {
        return std::nullopt;
    }
    std::string text(text_at == std::string_view::npos ? std::string_view{} : line.substr(text_at));
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    const std::size_t first = address.find_first_not_of('0');
    return std::string(first == std::string_view::npos ? "0" : address.substr(first)) + bytes +
           "\t" + text;
}

}  // namespace sim
