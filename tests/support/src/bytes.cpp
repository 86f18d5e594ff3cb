// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Reproducible bytes, whole files, and the image checksum from its rule.
#include "quillon_test/bytes.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace quillon_test {

std::vector<std::uint8_t> random_bytes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(count);
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

void write_bytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::vector<std::uint8_t> read_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint16_t image_checksum(std::span<const std::uint8_t> bytes) {
    unsigned sum = 0;
    for (const auto byte : bytes) {
        sum += byte;
    }
    sum &= 0xFFFF;
    if (sum < 0x1000) {
        sum = ((sum & 0x0F00) << 4) | (sum & 0x00FF);
    }
    return static_cast<std::uint16_t>(sum);
}

}  // namespace quillon_test
