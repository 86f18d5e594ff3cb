// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The programs' port and delay from the settings file, with their defaults.
#include "profile/settings.h"

#include <optional>
#include <string>

#include "profile/profile_file.h"
#include "profile/profile_text.h"

namespace quillon::profile {

namespace {

constexpr std::string_view section = "section";
constexpr std::string_view port_key = "Port";
constexpr std::string_view delay_key = "Delay";

void take(std::string_view text, std::string_view key, std::uint8_t& field) {
    if (const std::optional<std::string> value = find_value(text, section, key)) {
        field = static_cast<std::uint8_t>(static_cast<unsigned>(leading_number(*value)) & 0xFFu);
    }
}

}  // namespace

Settings parse_settings(std::string_view text) {
    Settings settings;
    take(text, port_key, settings.port_index);
    take(text, delay_key, settings.delay);
    return settings;
}

Settings read_settings(const std::filesystem::path& file) {
    const std::optional<std::string> text = read_text(file);
    return text ? parse_settings(*text) : Settings{};
}

bool save_delay(const std::filesystem::path& file, std::uint8_t delay) {
    return write_string(file, section, delay_key, std::to_string(delay));
}

bool save_settings(const std::filesystem::path& file, const Settings& settings) {
    const std::string delay = std::to_string(settings.delay);
    const std::string port = std::to_string(settings.port_index);
    return write_strings(file, section, {{delay_key, delay}, {port_key, port}});
}

}  // namespace quillon::profile
