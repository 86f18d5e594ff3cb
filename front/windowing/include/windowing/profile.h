/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The program's profile file: <config folder>/<program name>.INI, read and
// written as the platform's private-profile functions do.
#pragma once

#include <QString>

#include "profile/settings.h"

namespace windowing {

// The executable's base name: title of message boxes, name of the profile file.
QString program_name();

// $XDG_CONFIG_HOME (when absolute) or ~/.config, then <program name>.INI.
QString profile_path();

// The settings stored in the profile file, read at once; the defaults for
// what is missing.
quillon::profile::Settings read_profile();

// Stores both settings, creating the file, section or keys as needed.
bool write_profile(const quillon::profile::Settings& settings);

}  // namespace windowing
