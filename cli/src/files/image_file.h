/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Image files in and out of the library's transfer buffer, raw or Intel HEX.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "command.h"
#include "options.h"

namespace qcli {

bool has_ihex_extension(std::string_view path);
// Text that starts with ':' and holds only what HEX records are made of.
bool looks_like_ihex(std::span<const std::uint8_t> head);

// --format first; then .hex/.ihx means HEX, anything else raw.
ImageFormat output_format(std::string_view path, std::optional<ImageFormat> forced);

// Loads FILE ("-": standard input) into the library's buffer, reading it once:
// --format, else .hex/.ihx, else its first bytes decide the format. Bad HEX
// input is refused with the file name and line before the buffer is touched.
// Returns an exit code.
int load_image(Context& ctx, const std::string& path);
// Saves the buffer's image to FILE ("-": standard output) in the format the
// options and name choose. A regular file is replaced only once the new one
// is wholly on the disk, keeping its mode; devices and pipes are written as
// they are.
int save_image(Context& ctx, const std::string& path);

}  // namespace qcli
