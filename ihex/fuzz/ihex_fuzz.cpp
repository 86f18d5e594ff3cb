// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// libFuzzer target: the Intel HEX reader takes any bytes without crashing,
// whatever it accepts fits the board's RAM, and writing an accepted image and
// reading it back gives the same bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ihex.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::uint8_t fill = size > 0 ? data[0] : 0xFF;
    const ihex::Image image = ihex::read_image(text, fill);
    if (image.ok() && (image.bytes.empty() || image.bytes.size() > 0x8000)) {
        std::abort();
    }
    if (!image.ok() && (image.error.line == 0 || !image.bytes.empty())) {
        std::abort();
    }
    if (image.ok()) {
        const std::size_t per_record = size > 1 ? data[1] % 255 + 1 : 16;
        const ihex::Image back = ihex::read_image(ihex::write_image(image.bytes, per_record));
        if (!back.ok() || back.bytes != image.bytes) {
            std::abort();
        }
    }
    std::array<std::uint8_t, 0x8000> ram{};
    const ihex::Stored stored = ihex::read_into(text, ram);
    if (!stored.ok() && stored.error.line == 0) {
        std::abort();
    }
    return 0;
}
