// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Which character the buffer view shows for each byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "buffer_page.h"

namespace {

using bufferpage::display_char;
using bufferpage::no_glyph_char;

TEST(DisplayChar, ControlBytesAreBlanks) {
    for (unsigned b = 0; b < 0x20; ++b) {
        EXPECT_EQ(display_char(static_cast<std::uint8_t>(b)), u' ') << b;
    }
    EXPECT_EQ(display_char(0x20), u' ');
}

TEST(DisplayChar, PrintableAsciiAndLatin1ShowAsThemselves) {
    EXPECT_EQ(display_char('A'), u'A');
    EXPECT_EQ(display_char('~'), u'~');
    EXPECT_EQ(display_char(0xA9), u'\u00A9');  // copyright sign
    EXPECT_EQ(display_char(0xE9), u'\u00E9');  // e acute
    EXPECT_EQ(display_char(0xFF), u'\u00FF');
}

TEST(DisplayChar, WindowsCodePageRow80To9F) {
    EXPECT_EQ(display_char(0x80), u'\u20AC');  // euro sign
    EXPECT_EQ(display_char(0x85), u'\u2026');  // ellipsis
    EXPECT_EQ(display_char(0x8A), u'\u0160');
    EXPECT_EQ(display_char(0x93), u'\u201C');
    EXPECT_EQ(display_char(0x99), u'\u2122');  // trade mark
    EXPECT_EQ(display_char(0x9F), u'\u0178');
}

TEST(DisplayChar, BytesWithoutAGlyphGetTheStandIn) {
    for (std::uint8_t b : {0x7F, 0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_EQ(display_char(b), no_glyph_char) << int(b);
    }
    EXPECT_EQ(display_char(0xAD), u'-');
}

TEST(DisplayChar, NoByteShowsAsAnInvisibleOrControlCharacter) {
    // Control characters or a soft hyphen in the column would shift it against the others.
    for (unsigned b = 0; b < 256; ++b) {
        const char16_t c = display_char(static_cast<std::uint8_t>(b));
        EXPECT_GE(c, u' ') << b;
        EXPECT_FALSE(c >= 0x7F && c < 0xA0) << b;
        EXPECT_NE(c, u'\u00AD') << b;
    }
}

TEST(DisplayChars, MapsEachByteAndKeepsLineEnds) {
    const auto page = bufferpage::build_page(
        std::vector<std::uint8_t>{'H', 'i', 0x00, 0x0D, 0x0A, 0x80, 0x7F, 0x41, 0x42, 0x43, 0x44,
                                  0x45, 0x46, 0x47, 0x48, 0x49, 0xE4},
        0);
    const std::u16string_view shown = bufferpage::display_chars(page.chars);
    EXPECT_EQ(shown, std::u16string_view(u"Hi   \u20AC\u2591ABCDEFGHI\r\n\u00E4"));
}

}  // namespace
