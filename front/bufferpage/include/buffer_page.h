// Page building and scroll arithmetic of the buffer view, without any window:
// the view shows the transfer buffer 256 bytes a page in three columns.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace bufferpage {

inline constexpr std::uint32_t page_bytes = 256;
inline constexpr std::uint32_t small_step = 256;   // scroll-bar arrows: one page
inline constexpr std::uint32_t large_step = 2048;  // clicks in the shaft: eight pages
inline constexpr int scroll_range_max = 100;

// The three column texts of one page, each line ended by CR LF as the view shows them.
// The views point into fixed process-wide text areas and stay valid until the next build.
struct PageTexts {
    std::string_view pos;    // "%05lX\r\n" per begun line
    std::string_view hex;    // "%02X " per byte, CR LF after every 16th byte
    std::string_view chars;  // one 8-bit character per byte (below 0x20: blank)
};

// Builds the page of `image` that starts at byte `page_start` (at most 256 bytes).
PageTexts build_page(std::span<const std::uint8_t> image, std::uint32_t page_start);

// The character shown for an 8-bit byte of the character column: Windows-1252,
// with a visible one-cell stand-in for its unassigned codes.
char16_t display_char(std::uint8_t byte);

// Outcome of one vertical-scroll notification.
struct ScrollMove {
    bool accepted = false;     // false: nothing changes, no page built, bar untouched
    std::uint32_t start = 0;   // the new page start when accepted
    int bar_position = 0;      // the scroll bar's new position when accepted
};

// Scroll code c (0..8 as SB_LINEUP..SB_ENDSCROLL), thumb position, current start, buffer size.
ScrollMove scroll(unsigned code, std::uint16_t thumb, std::uint32_t page_start,
                  std::uint32_t bufsize);

}  // namespace bufferpage
