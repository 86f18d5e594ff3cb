// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// A page build allocates nothing.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "buffer_page.h"

// Counts every allocation of the test program, so that a page build that quietly
// grows a string is caught.
namespace {
int g_allocations = 0;
}

void* operator new(std::size_t size) {
    ++g_allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

TEST(NoAllocation, PageBuildAndScrollingAllocateNothing) {
    std::vector<std::uint8_t> buffer(32768);
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        buffer[i] = static_cast<std::uint8_t>(i * 7);
    }
    const int before = g_allocations;
    std::size_t shown = 0;
    std::uint32_t start = 0;
    for (int step = 0; step < 200; ++step) {
        const auto move = bufferpage::scroll(windowing::SB_LINEDOWN, 0, start, 32768);
        start = move.accepted ? move.start : 0;
        const auto page = bufferpage::build_page(buffer, start);
        shown += page.hex.size() + bufferpage::display_chars(page.chars).size();
    }
    EXPECT_EQ(g_allocations, before);
    EXPECT_GT(shown, 0u);
}

}  // namespace
