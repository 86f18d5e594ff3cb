// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The home folder from HOME or the password database, and XDG folders under it.
#include "posix/home_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace quillon::posix {

std::filesystem::path home_folder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        return home;
    }
    if (const passwd* entry = ::getpwuid(::getuid());
        entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] != '\0') {
        return entry->pw_dir;
    }
    return {};
}

std::filesystem::path xdg_folder(const char* variable, const std::filesystem::path& fallback) {
    if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/') {
        return value;
    }
    const std::filesystem::path home = home_folder();
    return home.empty() ? home : home / fallback;
}

}  // namespace quillon::posix
