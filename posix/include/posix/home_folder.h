/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// Where the user's own files go: the one rule for the settings file and the
// port-access layer's state.
#pragma once

#include <filesystem>

namespace quillon::posix {

// HOME, or the password database's entry when HOME is unset or empty; empty
// when neither is known.
std::filesystem::path home_folder();

// The folder an XDG base-directory variable names when it holds an absolute
// path; a relative or empty one is ignored, as the XDG rules ask, and the
// home folder's fallback (e.g. ".config") serves. Empty when no home is known.
std::filesystem::path xdg_folder(const char* variable, const std::filesystem::path& fallback);

}  // namespace quillon::posix
