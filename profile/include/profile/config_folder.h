/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Where the settings file lives.
#pragma once

#include <filesystem>
#include <string_view>

namespace quillon::profile {

// $XDG_CONFIG_HOME when it is an absolute path, otherwise ~/.config; empty
// when no home folder is known.
std::filesystem::path config_folder();

// config_folder() / "<program>.INI": the program names its file after its
// executable, quillon-cli shares the one of "quillon". Empty without a folder.
std::filesystem::path settings_path(std::string_view program = "quillon");

}  // namespace quillon::profile
