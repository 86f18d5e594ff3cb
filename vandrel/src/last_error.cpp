// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// Setting the last-error text, cut to its field.
#include "last_error.h"

#include <cstdio>

#include "library_state.h"

namespace vandrel {

namespace {

void set_with_name(const char* prefix, const char* name) {
    auto& text = state().last_error;
    // snprintf stops at the field's end and always terminates, which is what cuts a
    // long name.
    std::snprintf(text.data(), text.size(), "%s%s", prefix, name);
}

}  // namespace

void set_last_error(const char* text) {
    auto& field = state().last_error;
    std::snprintf(field.data(), field.size(), "%s", text);
}

void set_last_error_cant_open(const char* name) {
    set_with_name("error: can't open ", name);
}

void set_last_error_cant_read(const char* name) {
    set_with_name("error: can't read ", name);
}

void set_last_error_file_too_long(std::int32_t length) {
    auto& field = state().last_error;
    std::snprintf(field.data(), field.size(), "file (%ld Bytes) > 32KB", static_cast<long>(length));
}

}  // namespace vandrel
