// Where the settings file lives.
#pragma once

#include <filesystem>

namespace quillon::profile {

// $XDG_CONFIG_HOME when it is an absolute path, otherwise ~/.config (the home
// folder from HOME, or from the password database when HOME is unset).
std::filesystem::path config_folder();

// config_folder() / "quillon.INI", the file the program and quillon-cli share.
std::filesystem::path default_path();

}  // namespace quillon::profile
