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

// --format first; then .hex/.ihx; otherwise the file's first bytes decide.
ImageFormat input_format(const std::string& path, std::optional<ImageFormat> forced);
// --format first; then .hex/.ihx means HEX, anything else raw.
ImageFormat output_format(std::string_view path, std::optional<ImageFormat> forced);

// Loads FILE into the library's buffer. Bad HEX input is refused with the file
// name and line before the buffer is touched. Returns an exit code.
int load_image(Context& ctx, const std::string& path);
// Saves the buffer's image to FILE in the format the options and name choose.
int save_image(Context& ctx, const std::string& path);

}  // namespace qcli
