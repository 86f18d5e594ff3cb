/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Readable names for parameterised tests, from the text of their cases.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon_test {

// `text` as a test name: letters and digits kept, each run of anything else
// one '_' (GoogleTest takes nothing else), "empty" for no letter or digit.
std::string param_name(std::string_view text);

// A command line's words as one text.
std::string joined(const std::vector<std::string>& words);

// A name generator for INSTANTIATE_TEST_SUITE_P: each case named by the text
// `text` gives for it.
template <typename Text>
auto name_from(Text text) {
    return [text](const auto& info) { return param_name(text(info.param)); };
}

// The same, shortened, after the case's place in the list, for cases whose
// texts may differ only in what a name cannot hold: "3_SECTION_DELAY_20".
template <typename Text>
auto numbered_from(Text text) {
    return [text](const auto& info) {
        return std::to_string(info.index) + "_" + param_name(text(info.param)).substr(0, 40);
    };
}

}  // namespace quillon_test
