// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Parameterised tests' names from their cases' text.
#include "quillon_test/param_name.h"

#include <cctype>

namespace quillon_test {

std::string param_name(std::string_view text) {
    std::string name;
    bool gap = false;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0) {
            gap = !name.empty();
            continue;
        }
        if (gap) {
            name += '_';
            gap = false;
        }
        name += c;
    }
    return name.empty() ? "empty" : name;
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : " ") + word;
    }
    return text;
}

}  // namespace quillon_test
