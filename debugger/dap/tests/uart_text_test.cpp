// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// UART bytes as editor text: U+FFFD for each ill-formed piece, as Unicode's
// "best practice" counts them, and output in lines or after a short wait.
#include "uart_text.h"

#include <gtest/gtest.h>

#include <string>

namespace dap {
namespace {

struct Bytes {
    const char* in;
    const char* out;
};
constexpr const char* R = "\xEF\xBF\xBD";  // U+FFFD

TEST(UartText, EachIllFormedPieceBecomesOneReplacement) {
    const std::string r = R;
    const std::pair<std::string, std::string> cases[] = {
        {"trouv\xE9", "trouv" + r},                       // Latin-1's é
        {"trouv\xC3\xA9", "trouv\xC3\xA9"},               // UTF-8's é stays
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},         // four bytes stay
        {"\xC0\xAF", r + r},                              // overlong: never a lead
        {"\xE0\x80\x80", r + r + r},                      // overlong three
        {"\xED\xA0\x80", r + r + r},                      // a surrogate
        {"\xF4\x90\x80\x80", r + r + r + r},              // above U+10FFFF
        {"\xE2\x82x", r + "x"},                           // cut short: one for both
        {"\xF0\x9F\x98", r},                              // cut by the end
        {std::string("a\0b", 3), std::string("a\0b", 3)}  // a NUL is text
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(valid_utf8(in), out) << in;
    }
}

TEST(UartText, GivesWholeLinesAtOnceAndTheRestAfterItsWait) {
    using namespace std::chrono_literals;
    UartText text;
    const auto t0 = UartText::Clock::now();
    text.add("one\ntw", t0);
    EXPECT_EQ(text.due(t0), "one\n");
    EXPECT_EQ(text.due(t0 + 5ms), "");
    text.add("o \xC3", t0 + 10ms);  // é's first byte
    EXPECT_EQ(text.due(t0 + 30ms), "two ") << "the cut character waits for its end";
    text.add("\xA9\n", t0 + 31ms);
    EXPECT_EQ(text.due(t0 + 31ms), "\xC3\xA9\n");
    text.add("\xC3", t0 + 40ms);
    EXPECT_EQ(text.all(), R) << "at a stop nothing waits";
}

}  // namespace
}  // namespace dap
