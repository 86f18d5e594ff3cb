// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Memory references and base64, both ways.
#include "memory_reference.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dap {
namespace {

using debugger::Space;

TEST(MemoryReference, NamesEverySpaceAndRefusesWhatLiesOutside) {
    EXPECT_EQ(reference(Space::xdata, 0x1800), "xdata:0x1800");
    const std::pair<const char*, std::optional<std::pair<Space, unsigned>>> cases[] = {
        {"xdata:0x1800", std::pair{Space::xdata, 0x1800u}},
        {"idata:48", std::pair{Space::idata, 48u}},
        {"sfr:0x80", std::pair{Space::sfr, 0x80u}},
        {"0x00bf", std::pair{Space::code, 0xBFu}},
        {"code:0xffff", std::pair{Space::code, 0xFFFFu}},
        {"idata:0x100", std::nullopt},
        {"code:0x10000", std::nullopt},
        {"pdata:0x10", std::nullopt},
        {"xdata:", std::nullopt},
        {"0x12zz", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        const auto place = parse_reference(text);
        ASSERT_EQ(place.has_value(), expected.has_value()) << text;
        if (place) {
            EXPECT_EQ(place->space, expected->first) << text;
            EXPECT_EQ(place->address, expected->second) << text;
        }
    }
}

TEST(MemoryReference, Base64BothWays) {
    const std::pair<std::vector<std::uint8_t>, const char*> cases[] = {
        {{}, ""},
        {{1}, "AQ=="},
        {{1, 2}, "AQI="},
        {{1, 2, 77, 4}, "AQJNBA=="},
        {{0xFF, 0xFE, 0xFD}, "//79"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(base64(bytes), text);
        EXPECT_EQ(from_base64(text), bytes) << text;
    }
    EXPECT_FALSE(from_base64("AQ*="));
    EXPECT_FALSE(from_base64("AQ==AQ"));
}

}  // namespace
}  // namespace dap
