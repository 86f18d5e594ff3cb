/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Page building and scroll arithmetic of the buffer view, without any window:
// the view shows the transfer buffer 256 bytes a page in three columns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "windowing/command_ids.h"

namespace bufferpage {

inline constexpr std::uint32_t page_bytes = 256;
inline constexpr std::uint32_t line_bytes = 16;
inline constexpr std::uint32_t small_step = 256;   // scroll-bar arrows: one page
inline constexpr std::uint32_t large_step = 2048;  // clicks in the shaft: eight pages
inline constexpr int scroll_range_max = 100;

// Room for one full page in each text area, the terminating zero included.
inline constexpr std::size_t hex_capacity = 801;    // 16 lines of 48 + CR LF
inline constexpr std::size_t chars_capacity = 289;  // 16 lines of 16 + CR LF
inline constexpr std::size_t pos_capacity = 113;    // 16 entries of 5 + CR LF

// The three column texts of one page. Lines end in CR LF, except the last line of a
// short last page in the hex and chars columns. The views point into fixed process-wide
// text areas (each zero-terminated) and stay valid until the next build.
struct PageTexts {
    std::string_view pos;    // "%05lX\r\n" per begun line
    std::string_view hex;    // "%02X " per byte, CR LF after every 16th byte
    std::string_view chars;  // the byte itself, a blank for bytes below 0x20; CR LF per line
};

// Builds the page of `image` (the valid bytes of the buffer) that starts at byte
// `page_start`: at most 256 bytes. A start at or past the end gives three empty texts.
PageTexts build_page(std::span<const std::uint8_t> image, std::uint32_t page_start);

// The character shown for an 8-bit byte of the character column: Windows-1252, a blank
// below 0x20, and a visible one-cell stand-in where Windows-1252 has no printable glyph
// (0x7F, 0x81, 0x8D, 0x8F, 0x90, 0x9D; the soft hyphen 0xAD shows as a hyphen), so
// that every byte takes exactly one cell of a fixed-pitch font.
char16_t display_char(std::uint8_t byte);

// The stand-in for bytes that have no glyph of their own.
inline constexpr char16_t no_glyph_char = u'\u2591';  // light shade

// The chars column of a page as UTF-16 for display: each byte through display_char,
// CR and LF kept as line ends. Built in a fixed process-wide area, valid until the
// next call.
std::u16string_view display_chars(std::string_view chars);

// Outcome of one vertical-scroll notification.
struct ScrollMove {
    bool accepted = false;    // false: nothing changes, no page built, bar untouched
    std::uint32_t start = 0;  // the new page start when accepted
    int bar_position = 0;     // the scroll bar's new position when accepted
};

// Scroll code c (windowing::ScrollCode), thumb position, current start, buffer size.
// Moves past either end, unknown codes and an empty buffer are refused.
ScrollMove scroll(unsigned code, std::uint16_t thumb, std::uint32_t page_start,
                  std::uint32_t bufsize);

}  // namespace bufferpage
