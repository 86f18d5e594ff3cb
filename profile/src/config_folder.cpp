// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The settings file's folder and name.
#include "profile/config_folder.h"

#include <string>

#include "posix/home_folder.h"

namespace quillon::profile {

std::filesystem::path config_folder() {
    return posix::xdg_folder("XDG_CONFIG_HOME", ".config");
}

std::filesystem::path settings_path(std::string_view program) {
    const std::filesystem::path folder = config_folder();
    return folder.empty() ? folder : folder / (std::string(program) + ".INI");
}

}  // namespace quillon::profile
