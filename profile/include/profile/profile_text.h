/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// A profile file's text: sections "[name]" holding "key=value" lines. Names
// match without regard to case; every line that is no section header and holds
// no '=' (comments, blank lines) is kept as it stands but never matches.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillon::profile {

// The value of the first `key` in the first section named `section`, blanks
// around it and one pair of enclosing quotes (" or ') removed; nullopt when the
// section or the key is missing.
std::optional<std::string> find_value(std::string_view text, std::string_view section,
                                      std::string_view key);

// The text with `key` in `section` set to `value`. Only that key's value changes
// and every other line stays as it was; a missing key is added after the
// section's last key, a missing section at the end. New lines take the line
// ending the text already uses.
std::string with_value(std::string_view text, std::string_view section, std::string_view key,
                       std::string_view value);

// The value's leading number: blanks, an optional sign, decimal digits, with
// 32-bit wrap-around; a value without digits is 0.
int leading_number(std::string_view value);

}  // namespace quillon::profile
