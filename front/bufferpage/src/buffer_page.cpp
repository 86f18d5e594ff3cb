// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Building a page's three columns and moving through pages, without allocating.
#include "buffer_page.h"

#include <algorithm>
#include <array>

namespace bufferpage {
namespace {

// A zero-terminated text built by appending into fixed storage; it never grows, so a
// page build allocates nothing.
template <std::size_t Capacity>
class TextArea {
public:
    void clear() {
        length_ = 0;
        data_[0] = 0;
    }
    void append(char c) {
        // The page layout fits exactly; dropping rather than overrunning keeps a
        // miscounted layout from corrupting memory.
        if (length_ + 1 < Capacity) {
            data_[length_++] = c;
            data_[length_] = 0;
        }
    }
    std::string_view view() const { return {data_.data(), length_}; }

private:
    std::array<char, Capacity> data_{};
    std::size_t length_ = 0;
};

TextArea<hex_capacity> g_hexArea;
TextArea<chars_capacity> g_charsArea;
TextArea<pos_capacity> g_posArea;
std::array<char16_t, chars_capacity> g_displayArea{};

constexpr char hex_digit(unsigned value) {
    return "0123456789ABCDEF"[value & 0xF];
}

template <std::size_t Capacity>
void append_line_end(TextArea<Capacity>& area) {
    area.append('\r');
    area.append('\n');
}

// Windows-1252 for 0x80..0x9F; the rest of 0xA0..0xFF is Latin-1 and maps to itself.
constexpr std::array<char16_t, 32> cp1252_high = {
    u'\u20AC', no_glyph_char, u'\u201A',     u'\u0192', u'\u201E', u'\u2026', u'\u2020',
    u'\u2021', u'\u02C6',     u'\u2030',     u'\u0160', u'\u2039', u'\u0152', no_glyph_char,
    u'\u017D', no_glyph_char, no_glyph_char, u'\u2018', u'\u2019', u'\u201C', u'\u201D',
    u'\u2022', u'\u2013',     u'\u2014',     u'\u02DC', u'\u2122', u'\u0161', u'\u203A',
    u'\u0153', no_glyph_char, u'\u017E',     u'\u0178',
};

// Start of the last page: the largest multiple of 256 below the buffer size.
constexpr std::uint32_t last_page_start(std::uint32_t bufsize) {
    return bufsize == 0 ? 0 : (bufsize - 1) / page_bytes * page_bytes;
}

constexpr int bar_position_of(std::uint32_t start, std::uint32_t bufsize) {
    return static_cast<int>(std::uint64_t{start} * 100 / bufsize);
}

std::uint32_t thumb_start(std::uint16_t thumb, std::uint32_t bufsize) {
    std::uint64_t t = (std::uint64_t{bufsize} + 1) * thumb / 100;
    t = t / page_bytes * page_bytes;
    if (t >= bufsize) {
        t = t >= page_bytes ? t - page_bytes : 0;
    }
    // A thumb position beyond the bar's range (above 100) must not point past the data.
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(t, last_page_start(bufsize)));
}

}  // namespace

PageTexts build_page(std::span<const std::uint8_t> image, std::uint32_t page_start) {
    g_hexArea.clear();
    g_charsArea.clear();
    g_posArea.clear();

    const std::size_t size = image.size();
    const std::size_t count =
        page_start < size ? std::min<std::size_t>(size - page_start, page_bytes) : 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = image[page_start + i];
        g_hexArea.append(hex_digit(b >> 4));
        g_hexArea.append(hex_digit(b));
        g_hexArea.append(' ');

        g_charsArea.append(b < 0x20 ? ' ' : static_cast<char>(b));

        if (i % line_bytes == 0) {
            const std::uint32_t offset = page_start + static_cast<std::uint32_t>(i);
            for (int shift = 16; shift >= 0; shift -= 4) {
                g_posArea.append(hex_digit(offset >> shift));
            }
            append_line_end(g_posArea);
        }
        if ((i + 1) % line_bytes == 0) {
            append_line_end(g_hexArea);
            append_line_end(g_charsArea);
        }
    }
    return {g_posArea.view(), g_hexArea.view(), g_charsArea.view()};
}

char16_t display_char(std::uint8_t byte) {
    if (byte < 0x20) {
        return u' ';
    }
    if (byte == 0x7F) {
        return no_glyph_char;
    }
    if (byte >= 0x80 && byte < 0xA0) {
        return cp1252_high[byte - 0x80];
    }
    if (byte == 0xAD) {
        // The soft hyphen takes no room in most text layouts; a hyphen keeps the column.
        return u'-';
    }
    return byte;
}

std::u16string_view display_chars(std::string_view chars) {
    const std::size_t n = std::min(chars.size(), g_displayArea.size() - 1);
    for (std::size_t i = 0; i < n; ++i) {
        const char c = chars[i];
        g_displayArea[i] =
            (c == '\r' || c == '\n') ? char16_t(c) : display_char(static_cast<std::uint8_t>(c));
    }
    g_displayArea[n] = 0;
    return {g_displayArea.data(), n};
}

ScrollMove scroll(unsigned code, std::uint16_t thumb, std::uint32_t page_start,
                  std::uint32_t bufsize) {
    if (bufsize == 0) {
        return {};
    }
    const std::uint32_t step =
        (code == windowing::SB_PAGEUP || code == windowing::SB_PAGEDOWN) ? large_step : small_step;
    std::uint32_t start = 0;
    switch (code) {
        case windowing::SB_LINEUP:
        case windowing::SB_PAGEUP: {
            const std::uint32_t back = page_start < large_step ? small_step : step;
            if (page_start < back) {
                return {};
            }
            start = page_start - back;
            break;
        }
        case windowing::SB_LINEDOWN:
        case windowing::SB_PAGEDOWN: {
            const std::uint32_t ahead =
                std::uint64_t{page_start} + large_step >= bufsize ? small_step : step;
            if (std::uint64_t{page_start} + ahead >= bufsize) {
                return {};
            }
            start = page_start + ahead;
            break;
        }
        case windowing::SB_THUMBPOSITION:
        case windowing::SB_THUMBTRACK:
            start = thumb_start(thumb, bufsize);
            break;
        case windowing::SB_TOP:
            return {true, 0, 0};
        case windowing::SB_BOTTOM:
            return {true, last_page_start(bufsize), scroll_range_max};
        default:
            return {};
    }
    return {true, start, bar_position_of(start, bufsize)};
}

}  // namespace bufferpage
