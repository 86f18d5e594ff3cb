// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The scroll bar's moves and where they take the page.
#include <gtest/gtest.h>

#include <cstdint>

#include "buffer_page.h"

namespace {

using bufferpage::scroll;
using bufferpage::ScrollMove;

struct Move {
    unsigned code;
    std::uint16_t thumb;
    std::uint32_t from;
    std::uint32_t bufsize;
    std::uint32_t start;
    int bar;
};

void expect_move(const Move& m) {
    const ScrollMove r = scroll(m.code, m.thumb, m.from, m.bufsize);
    EXPECT_TRUE(r.accepted) << "code " << m.code << " from " << m.from << " size " << m.bufsize;
    EXPECT_EQ(r.start, m.start) << "code " << m.code << " from " << m.from;
    EXPECT_EQ(r.bar_position, m.bar) << "code " << m.code << " from " << m.from;
}

void expect_refused(unsigned c, std::uint32_t from, std::uint32_t bufsize,
                    std::uint16_t thumb = 0) {
    EXPECT_FALSE(scroll(c, thumb, from, bufsize).accepted)
        << "code " << c << " from " << from << " size " << bufsize;
}

TEST(Scroll, HundredByteBufferStaysOnItsOnlyPage) {
    for (unsigned c : {windowing::SB_LINEUP, windowing::SB_LINEDOWN, windowing::SB_PAGEUP,
                       windowing::SB_PAGEDOWN}) {
        expect_refused(c, 0, 100);
    }
    for (std::uint16_t thumb : {0, 1, 50, 99, 100}) {
        expect_move({windowing::SB_THUMBPOSITION, thumb, 0, 100, 0, 0});
        expect_move({windowing::SB_THUMBTRACK, thumb, 0, 100, 0, 0});
    }
    expect_move({windowing::SB_TOP, 0, 0, 100, 0, 0});
    expect_move({windowing::SB_BOTTOM, 0, 0, 100, 0, 100});
    expect_refused(windowing::SB_ENDSCROLL, 0, 100);
}

TEST(Scroll, OnePageBuffer) {
    expect_refused(windowing::SB_LINEDOWN, 0, 256);
    expect_refused(windowing::SB_PAGEDOWN, 0, 256);
    // 257 * 100 / 100 rounds down to 256, which is not below the size: back one page.
    expect_move({windowing::SB_THUMBPOSITION, 100, 0, 256, 0, 0});
    expect_move({windowing::SB_BOTTOM, 0, 0, 256, 0, 100});
}

TEST(Scroll, ThreeHundredBytesHaveTwoPages) {
    expect_move({windowing::SB_LINEDOWN, 0, 0, 300, 256, 85});
    expect_refused(windowing::SB_LINEDOWN, 256, 300);
    expect_move({windowing::SB_PAGEDOWN, 0, 0, 300, 256, 85});
    expect_move({windowing::SB_LINEUP, 0, 256, 300, 0, 0});
    expect_move({windowing::SB_PAGEUP, 0, 256, 300, 0, 0});
    expect_move({windowing::SB_BOTTOM, 0, 0, 300, 256, 100});
    expect_move({windowing::SB_THUMBTRACK, 100, 0, 300, 256, 85});
    expect_move({windowing::SB_THUMBTRACK, 84, 0, 300, 0, 0});
    expect_move({windowing::SB_THUMBTRACK, 86, 0, 300, 256, 85});
}

TEST(Scroll, FullBufferPageDown) {
    expect_move({windowing::SB_PAGEDOWN, 0, 0, 32768, 2048, 6});
    // Within eight pages of the end the shaft moves one page only.
    expect_move({windowing::SB_PAGEDOWN, 0, 30464, 32768, 32512, 99});
    expect_move({windowing::SB_PAGEDOWN, 0, 30720, 32768, 30976, 94});
    expect_move({windowing::SB_PAGEDOWN, 0, 31232, 32768, 31488, 96});
    expect_refused(windowing::SB_PAGEDOWN, 32512, 32768);
    expect_refused(windowing::SB_LINEDOWN, 32512, 32768);
    expect_move({windowing::SB_LINEDOWN, 0, 32256, 32768, 32512, 99});
}

TEST(Scroll, PageUpAndLineUp) {
    expect_move({windowing::SB_PAGEUP, 0, 1792, 32768, 1536, 4});
    expect_move({windowing::SB_PAGEUP, 0, 2048, 32768, 0, 0});
    expect_move({windowing::SB_PAGEUP, 0, 4096, 32768, 2048, 6});
    expect_refused(windowing::SB_PAGEUP, 0, 32768);
    expect_refused(windowing::SB_LINEUP, 0, 32768);
    expect_move({windowing::SB_LINEUP, 0, 2048, 32768, 1792, 5});
}

TEST(Scroll, ThumbOnAFullBuffer) {
    expect_move({windowing::SB_THUMBPOSITION, 50, 0, 32768, 16384, 50});
    // The thumb at the bottom lands on the last page whatever the current page.
    expect_move({windowing::SB_THUMBPOSITION, 100, 0, 32768, 32512, 99});
    expect_move({windowing::SB_THUMBPOSITION, 100, 32512, 32768, 32512, 99});
    expect_move({windowing::SB_THUMBTRACK, 100, 16384, 32768, 32512, 99});
    expect_move({windowing::SB_THUMBTRACK, 1, 16384, 32768, 256, 0});
    expect_move({windowing::SB_THUMBTRACK, 0, 16384, 32768, 0, 0});
    // Never refused, even when it stays where it is.
    expect_move({windowing::SB_THUMBPOSITION, 50, 16384, 32768, 16384, 50});
}

TEST(Scroll, TopAndBottom) {
    expect_move({windowing::SB_TOP, 0, 16384, 32768, 0, 0});
    expect_move({windowing::SB_BOTTOM, 0, 0, 32768, 32512, 100});
    expect_move({windowing::SB_BOTTOM, 0, 0, 257, 256, 100});
    expect_move({windowing::SB_BOTTOM, 0, 0, 1, 0, 100});
}

TEST(Scroll, UnknownCodesAndEmptyBufferAreRefused) {
    for (unsigned c : {8u, 9u, 100u, 0xFFFFFFFFu}) {
        expect_refused(c, 0, 32768);
        expect_refused(c, 256, 32768, 50);
    }
    for (unsigned c = 0; c <= 8; ++c) {
        expect_refused(c, 0, 0, 50);
    }
}

TEST(Scroll, ThumbBeyondTheRangeStaysOnTheData) {
    // The bar's range ends at 100; a larger position must still give a page that exists.
    for (std::uint16_t thumb : {101, 200, 1000, 65535}) {
        for (std::uint32_t size : {100u, 300u, 4096u, 32768u}) {
            const ScrollMove r = scroll(windowing::SB_THUMBTRACK, thumb, 0, size);
            ASSERT_TRUE(r.accepted);
            EXPECT_LT(r.start, size) << thumb << " " << size;
            EXPECT_EQ(r.start % 256, 0u);
            EXPECT_LE(r.bar_position, 100);
        }
    }
}

TEST(Scroll, EveryAcceptedMoveKeepsAPageStartInsideTheBuffer) {
    for (std::uint32_t size : {1u, 255u, 256u, 257u, 2048u, 2304u, 32768u}) {
        for (std::uint32_t from = 0; from < size; from += 256) {
            for (unsigned c = 0; c <= 8; ++c) {
                for (std::uint16_t thumb : {0, 37, 100}) {
                    const ScrollMove r = scroll(c, thumb, from, size);
                    if (r.accepted) {
                        EXPECT_LT(r.start, size);
                        EXPECT_EQ(r.start % 256, 0u);
                        EXPECT_GE(r.bar_position, 0);
                        EXPECT_LE(r.bar_position, 100);
                    }
                }
            }
        }
    }
}

}  // namespace
