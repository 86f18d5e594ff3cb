// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The layer's settings from the environment, and where its files go.
#include "settings.h"

#include <cstdlib>

namespace dlportio {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

Settings settings_from_environment() {
    Settings settings;
    settings.backend = environment("DLPORTIO_BACKEND");
    settings.device = environment("DLPORTIO_DEVICE");
    settings.base = environment("DLPORTIO_BASE");
    settings.trace = environment("DLPORTIO_TRACE");
    return settings;
}

}  // namespace dlportio
