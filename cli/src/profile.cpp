#include "profile.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace qcli {
namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

// Leading decimal digits with an optional sign; anything else reads as 0.
long profile_integer(std::string_view text) {
    text = trim(text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = text.substr(1, text.size() - 2);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = (value * 10 + (c - '0')) % 0x100000000L;
    }
    return negative ? -value : value;
}

std::uint8_t modulo_256(long value) {
    return static_cast<std::uint8_t>(static_cast<unsigned long>(value) & 0xFFu);
}

}  // namespace

std::filesystem::path profile_path() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return std::filesystem::path(xdg) / "quillon.INI";
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : ".") / ".config" / "quillon.INI";
}

ProfileSettings parse_profile(std::string_view text) {
    ProfileSettings settings;
    std::optional<long> port;
    std::optional<long> delay;
    bool in_section = false;
    std::istringstream lines{std::string(text)};
    for (std::string raw; std::getline(lines, raw);) {
        const std::string_view line = trim(raw);
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            const auto close = line.find(']');
            in_section =
                close != std::string_view::npos && trim(line.substr(1, close - 1)) == "section";
            continue;
        }
        const auto eq = line.find('=');
        if (!in_section || eq == std::string_view::npos) {
            continue;
        }
        const std::string_view key = trim(line.substr(0, eq));
        const std::string_view value = line.substr(eq + 1);
        if (key == "Port") {
            port = profile_integer(value);
        } else if (key == "Delay") {
            delay = profile_integer(value);
        }
    }
    if (port) {
        settings.port_index = modulo_256(*port);
    }
    if (delay) {
        settings.delay = modulo_256(*delay);
    }
    return settings;
}

ProfileSettings read_profile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return {};
    }
    std::ostringstream text;
    text << file.rdbuf();
    return parse_profile(text.str());
}

}  // namespace qcli
