/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// Image files: raw bytes, file byte i is board address i, at most one buffer's worth.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>

namespace vandrel {

// Returns the bytes loaded, or 0 with the reason in the last-error text. A refused
// load keeps the previous image; an empty file leaves the buffer size 0.
std::uint16_t load_image(const char* name);

// Returns the bytes saved (the buffer size), or 0 with the reason in the last-error
// text.
std::uint16_t save_image(const char* name);

enum class StreamRead { complete, too_long, read_error };

struct StreamReadResult {
    StreamRead outcome;
    std::size_t count;  // bytes stored; on too_long, the bytes the stream yielded
};

// Reads the whole stream into dest, never storing past its end: a stream that yields
// more than dest can hold is too_long.
StreamReadResult read_stream(std::FILE* stream, std::span<std::uint8_t> dest);

}  // namespace vandrel
