// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ram_image.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

#include <ihex.h>

namespace sim {

namespace {

constexpr std::uint32_t kRecordBytes = 32;

std::string record(std::span<const std::uint8_t> bytes, std::uint32_t address) {
    char head[16];
    std::snprintf(head, sizeof head, ":%02X%04X00", static_cast<unsigned>(bytes.size()), address);
    std::string line = head;
    unsigned sum = static_cast<unsigned>(bytes.size()) + (address >> 8) + (address & 0xFF);
    for (const std::uint8_t byte : bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02X", byte);
        line += digits;
        sum += byte;
    }
    char check[8];
    std::snprintf(check, sizeof check, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    return line + check;
}

}  // namespace

RamLayout layout_of(std::span<const std::uint8_t, kBoardRamSize> ram) {
    std::array<std::uint32_t, 256> counts{};
    for (const std::uint8_t byte : ram) {
        ++counts[byte];
    }
    RamLayout layout;
    layout.fill = static_cast<std::uint8_t>(std::ranges::max_element(counts) - counts.begin());
    // Kept: everything between the runs of the fill that are long enough.
    std::uint32_t kept_from = 0;
    for (std::uint32_t at = 0; at < kBoardRamSize;) {
        std::uint32_t end = at;
        while (end < kBoardRamSize && ram[end] == layout.fill) {
            ++end;
        }
        if (end - at >= kShortestHole) {
            if (at > kept_from) {
                layout.kept.push_back({kept_from, at - 1});
            }
            kept_from = end;
        }
        at = end == at ? at + 1 : end;
    }
    if (kept_from < kBoardRamSize) {
        layout.kept.push_back({kept_from, kBoardRamSize - 1});
    }
    return layout;
}

std::string kept_records(std::span<const std::uint8_t, kBoardRamSize> ram,
                         const RamLayout& layout) {
    std::string text;
    for (const Range& range : layout.kept) {
        for (std::uint32_t at = range.first; at <= range.last; at += kRecordBytes) {
            const std::uint32_t size = std::min(kRecordBytes, range.last + 1 - at);
            text += record(ram.subspan(at, size), at);
        }
    }
    return text + ":00000001FF\n";
}

std::vector<Range> holes_in(std::string_view text, std::uint32_t slack) {
    std::vector<Range> holes;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of(std::string_view("\n\0", 2));
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.starts_with("0x")) {
            continue;
        }
        std::uint32_t start = 0;
        std::uint32_t length = 0;
        const char* from = line.data() + 2;
        const char* to = line.data() + line.size();
        const auto first = std::from_chars(from, to, start, 16);
        if (first.ec != std::errc{} || first.ptr == to || *first.ptr != ' ') {
            continue;
        }
        const auto second = std::from_chars(first.ptr + 1, to, length);
        if (second.ec != std::errc{} || second.ptr != to || length == 0 || start >= kBoardRamSize) {
            continue;
        }
        holes.push_back(
            {start, std::min<std::uint32_t>(start + length - 1 + slack, kBoardRamSize - 1)});
    }
    return holes;
}

std::optional<std::uint32_t> hole_slack(std::string_view answer, const RamLayout& layout) {
    // The first hole of the image: where the first kept range does not begin at 0,
    // or after it.
    const std::vector<Range> reported = holes_in(answer, 0);
    for (const Range& hole : reported) {
        const auto next = std::ranges::find_if(
            layout.kept, [&hole](const Range& kept) { return kept.first > hole.first; });
        const std::uint32_t true_last =
            next != layout.kept.end() ? next->first - 1 : kBoardRamSize - 1;
        if (true_last >= hole.last && true_last - hole.last <= 1) {
            return true_last - hole.last;
        }
    }
    return std::nullopt;
}

std::vector<Range> merge_stop(std::span<std::uint8_t, kBoardRamSize> memory, std::uint8_t fill,
                              const std::vector<Range>& holes,
                              const std::vector<std::string_view>& dumps,
                              const std::vector<Range>& wanted) {
    std::array<bool, kBoardRamSize> known;
    known.fill(true);
    for (const Range& range : wanted) {
        for (std::uint32_t at = range.first; at <= range.last; ++at) {
            known[at] = false;
        }
    }
    for (const Range& hole : holes) {
        for (std::uint32_t at = hole.first; at <= hole.last; ++at) {
            memory[at] = fill;
            known[at] = true;
        }
    }
    for (const std::string_view dump : dumps) {
        const ihex::ReadRules rules{kBoardRamSize, true, false, true};
        ihex::read_records(
            dump, rules,
            [&memory, &known](std::uint32_t address, std::span<const std::uint8_t> data) {
                for (std::size_t i = 0; i < data.size(); ++i) {
                    memory[address + i] = data[i];
                    known[address + i] = true;
                }
                return std::string();
            });
    }
    std::vector<Range> missing;
    for (std::uint32_t at = 0; at < kBoardRamSize; ++at) {
        if (known[at]) {
            continue;
        }
        if (!missing.empty() && missing.back().last + 1 == at) {
            missing.back().last = at;
        } else {
            missing.push_back({at, at});
        }
    }
    return missing;
}

}  // namespace sim
