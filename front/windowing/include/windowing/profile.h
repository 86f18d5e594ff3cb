// The program's profile file: <config folder>/<program name>.INI, read and
// written as the platform's private-profile functions do.
#pragma once

#include <QString>

namespace windowing {

// The executable's base name: title of message boxes, name of the profile file.
QString program_name();

// $XDG_CONFIG_HOME (when absolute) or ~/.config, then <program name>.INI.
QString profile_path();

// The integer stored under section/key, or the default when the key is absent.
int profile_int(const QString& section, const QString& key, int default_value);

// Stores the text under section/key, creating the file, section or key as needed.
bool write_profile_string(const QString& section, const QString& key, const QString& value);

}  // namespace windowing
