// The desktop program's settings file, read for the port and delay defaults so
// the CLI talks to the board the program is set up for; calibrate --save
// writes the delay it found into it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace qcli {

struct ProfileSettings {
    std::uint8_t port_index = 1;  // "Port", default 1, taken modulo 256
    std::uint8_t delay = 10;      // "Delay", default 10, taken modulo 256
};

// $XDG_CONFIG_HOME/quillon.INI, or ~/.config/quillon.INI.
std::filesystem::path profile_path();

// Section "section", keys "Port" and "Delay", names of any case, as the
// program reads them. A value counts by its leading sign and digits; one
// without digits counts as 0.
ProfileSettings parse_profile(std::string_view text);
ProfileSettings read_profile(const std::filesystem::path& path);

// Sets "Delay" in section "section", keeping every other line of the file. False
// when the file could not be written (the profile module has said why).
bool save_delay(const std::filesystem::path& path, std::uint8_t delay);

}  // namespace qcli
