/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The two settings the program and quillon-cli keep between runs, and how the
// settings file holds them: section "section", keys "Port" and "Delay".
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace quillon::profile {

// Each value as the programs take it: the stored number modulo 256, the
// default when the file, the section or the key is missing.
struct Settings {
    std::uint8_t port_index = 1;  // the board library's port index
    std::uint8_t delay = 10;
};

// Names of any case; a value counts by its leading sign and digits, and one
// without digits counts as 0.
Settings parse_settings(std::string_view text);

// The file, read once; the defaults when it is missing or refused.
Settings read_settings(const std::filesystem::path& file);

// Sets "Delay" alone, keeping every other line of the file.
bool save_delay(const std::filesystem::path& file, std::uint8_t delay);

// Sets "Delay", then "Port", in one replacement of the file.
bool save_settings(const std::filesystem::path& file, const Settings& settings);

}  // namespace quillon::profile
