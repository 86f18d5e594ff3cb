/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Images for the tests: reproducible byte patterns, files of bytes, and the
// image checksum worked out from its rule rather than taken from the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace quillon_test {

// `count` bytes from a generator seeded with `seed`: the same bytes every run.
std::vector<std::uint8_t> random_bytes(std::size_t count, unsigned seed);

// Whole file; throws std::runtime_error when it can't be written or read.
void write_bytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> read_bytes(const std::filesystem::path& path);

// The checksum the program shows: the low 16 bits of the bytes' sum, with the
// digits of a high byte below 0x10 exchanged (0x0ABC shows as A0BC).
std::uint16_t image_checksum(std::span<const std::uint8_t> bytes);

}  // namespace quillon_test
