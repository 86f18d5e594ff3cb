#include "profile.h"

#include <string>

#include "profile/config_folder.h"
#include "profile/profile_file.h"
#include "profile/profile_text.h"

namespace qcli {
namespace {

constexpr std::string_view section = "section";

std::uint8_t modulo_256(int value) {
    return static_cast<std::uint8_t>(static_cast<unsigned>(value) & 0xFFu);
}

}  // namespace

std::filesystem::path profile_path() {
    return quillon::profile::default_path();
}

ProfileSettings parse_profile(std::string_view text) {
    ProfileSettings settings;
    if (const auto port = quillon::profile::find_value(text, section, "Port")) {
        settings.port_index = modulo_256(quillon::profile::leading_number(*port));
    }
    if (const auto delay = quillon::profile::find_value(text, section, "Delay")) {
        settings.delay = modulo_256(quillon::profile::leading_number(*delay));
    }
    return settings;
}

ProfileSettings read_profile(const std::filesystem::path& path) {
    const ProfileSettings defaults;
    return {modulo_256(quillon::profile::get_int(path, section, "Port", defaults.port_index)),
            modulo_256(quillon::profile::get_int(path, section, "Delay", defaults.delay))};
}

bool save_delay(const std::filesystem::path& path, std::uint8_t delay) {
    return quillon::profile::write_string(path, section, "Delay", std::to_string(delay));
}

}  // namespace qcli
