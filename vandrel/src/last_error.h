/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The last-error text: each failure replaces it whole; success never touches it.
#pragma once

#include <cstdint>

namespace vandrel {

void set_last_error(const char* text);

// "error: can't open %s" and "error: can't read %s". The name is cut so that the whole
// text, NUL included, stays inside the field whatever the name's length.
void set_last_error_cant_open(const char* name);
void set_last_error_cant_read(const char* name);

// "file (%ld Bytes) > 32KB"
void set_last_error_file_too_long(std::int32_t length);

}  // namespace vandrel
