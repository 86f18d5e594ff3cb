// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The buffer view's columns for pages across the buffer.
#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "buffer_page.h"

namespace {

using bufferpage::build_page;

// A buffer whose byte i is i mod 256, so every offset is recognisable in the hex column.
std::vector<std::uint8_t> counting_buffer(std::size_t size) {
    std::vector<std::uint8_t> buffer(size);
    for (std::size_t i = 0; i < size; ++i) {
        buffer[i] = static_cast<std::uint8_t>(i);
    }
    return buffer;
}

std::vector<std::string> split_lines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t end = text.find("\r\n", from);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(from));
            break;
        }
        lines.emplace_back(text.substr(from, end - from));
        from = end + 2;
    }
    return lines;
}

TEST(PageBuild, HundredBytesGiveSevenLinesWithShortLastLine) {
    const auto buffer = counting_buffer(100);
    const auto page = build_page(buffer, 0);

    EXPECT_EQ(page.pos, "00000\r\n00010\r\n00020\r\n00030\r\n00040\r\n00050\r\n00060\r\n");

    const auto hex = split_lines(page.hex);
    ASSERT_EQ(hex.size(), 7u);
    EXPECT_EQ(hex[0], "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
    EXPECT_EQ(hex[5], "50 51 52 53 54 55 56 57 58 59 5A 5B 5C 5D 5E 5F ");
    EXPECT_EQ(hex[6], "60 61 62 63 ");
    // The short last line ends without CR LF in the hex and chars columns.
    EXPECT_TRUE(page.hex.ends_with("60 61 62 63 "));
    EXPECT_TRUE(page.chars.ends_with("`abc"));
    EXPECT_EQ(page.hex.size(), 6u * 50 + 12);
    EXPECT_EQ(page.chars.size(), 6u * 18 + 4);
}

TEST(PageBuild, FullPageFillsTheTextAreasExactly) {
    const auto buffer = counting_buffer(256);
    const auto page = build_page(buffer, 0);

    EXPECT_EQ(page.hex.size(), bufferpage::hex_capacity - 1);
    EXPECT_EQ(page.chars.size(), bufferpage::chars_capacity - 1);
    EXPECT_EQ(page.pos.size(), bufferpage::pos_capacity - 1);

    const auto hex = split_lines(page.hex);
    ASSERT_EQ(hex.size(), 16u);
    for (const auto& line : hex) {
        EXPECT_EQ(line.size(), 48u);
    }
    EXPECT_EQ(hex[15], "F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF ");
    EXPECT_TRUE(page.hex.ends_with("FF \r\n"));
    EXPECT_TRUE(page.chars.ends_with("\r\n"));
    EXPECT_TRUE(page.pos.ends_with("000F0\r\n"));
    // The views are zero-terminated, as a C-string consumer of the areas expects.
    EXPECT_EQ(page.hex.data()[page.hex.size()], '\0');
    EXPECT_EQ(page.chars.data()[page.chars.size()], '\0');
    EXPECT_EQ(page.pos.data()[page.pos.size()], '\0');
}

TEST(PageBuild, WholeLinesOnTheLastPageKeepTheirLineEnd) {
    const auto buffer = counting_buffer(32);
    const auto page = build_page(buffer, 0);
    EXPECT_EQ(page.pos, "00000\r\n00010\r\n");
    EXPECT_TRUE(page.hex.ends_with("1F \r\n"));
    EXPECT_EQ(split_lines(page.chars).size(), 2u);
}

TEST(PageBuild, SecondPageOfThreeHundredBytes) {
    const auto buffer = counting_buffer(300);
    const auto page = build_page(buffer, 256);

    EXPECT_EQ(page.pos, "00100\r\n00110\r\n00120\r\n");
    const auto hex = split_lines(page.hex);
    ASSERT_EQ(hex.size(), 3u);
    // Byte 256 is 0x00 again in the counting buffer: the page starts at the right byte.
    EXPECT_EQ(hex[0], "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
    EXPECT_EQ(hex[2], "20 21 22 23 24 25 26 27 28 29 2A 2B ");
    const auto chars = split_lines(page.chars);
    ASSERT_EQ(chars.size(), 3u);
    EXPECT_EQ(chars[2], " !\"#$%&'()*+");
}

TEST(PageBuild, LastPageOfAFullBufferHasOffsetsUpTo07FF0) {
    std::vector<std::uint8_t> buffer(32768, 0xAA);
    buffer[32512] = 0x12;
    buffer[32767] = 0xEF;
    const auto page = build_page(buffer, 32512);

    const auto pos = split_lines(page.pos);
    ASSERT_EQ(pos.size(), 16u);
    EXPECT_EQ(pos.front(), "07F00");
    EXPECT_EQ(pos.back(), "07FF0");
    EXPECT_TRUE(page.hex.starts_with("12 AA "));
    EXPECT_TRUE(page.hex.ends_with("AA EF \r\n"));
}

TEST(PageBuild, ControlBytesShowAsBlanksAndHighBytesAsThemselves) {
    std::vector<std::uint8_t> buffer(256);
    std::iota(buffer.begin(), buffer.end(), 0);
    const auto page = build_page(buffer, 0);
    const auto chars = split_lines(page.chars);
    ASSERT_EQ(chars.size(), 16u);

    EXPECT_EQ(chars[0], std::string(16, ' '));  // 0x00..0x0F
    EXPECT_EQ(chars[1], std::string(16, ' '));  // 0x10..0x1F
    EXPECT_EQ(chars[2], " !\"#$%&'()*+,-./");   // 0x20 is a blank too
    EXPECT_EQ(chars[4], "@ABCDEFGHIJKLMNO");
    for (unsigned line = 7; line < 16; ++line) {
        for (unsigned col = 0; col < 16; ++col) {
            const unsigned byte = line * 16 + col;
            if (byte >= 0x7F) {
                EXPECT_EQ(static_cast<std::uint8_t>(chars[line][col]), byte);
            }
        }
    }
    // The hex column still shows the control bytes as digits.
    EXPECT_TRUE(page.hex.starts_with("00 01 02 "));
    EXPECT_NE(page.hex.find("1D 1E 1F \r\n"), std::string_view::npos);
}

TEST(PageBuild, EveryBuildStartsFromEmptyAreas) {
    const auto full = counting_buffer(256);
    build_page(full, 0);
    const std::vector<std::uint8_t> small = {0xDE, 0xAD};
    const auto page = build_page(small, 0);
    EXPECT_EQ(page.hex, "DE AD ");
    EXPECT_EQ(page.pos, "00000\r\n");
    EXPECT_EQ(page.chars, "\xDE\xAD");
}

TEST(PageBuild, StartAtOrPastTheEndGivesEmptyTexts) {
    const auto buffer = counting_buffer(256);
    for (std::uint32_t start : {256u, 512u, 0xFFFFFF00u}) {
        const auto page = build_page(buffer, start);
        EXPECT_TRUE(page.hex.empty()) << start;
        EXPECT_TRUE(page.chars.empty()) << start;
        EXPECT_TRUE(page.pos.empty()) << start;
    }
    const auto page = build_page({}, 0);
    EXPECT_TRUE(page.hex.empty());
}

}  // namespace
