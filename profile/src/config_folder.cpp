#include "profile/config_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace quillon::profile {

namespace {

std::filesystem::path home_folder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return home;
    }
    if (const passwd* entry = ::getpwuid(::getuid());
        entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return "/";
}

}  // namespace

std::filesystem::path config_folder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return xdg;
    }
    return home_folder() / ".config";
}

std::filesystem::path default_path() {
    return config_folder() / "quillon.INI";
}

}  // namespace quillon::profile
