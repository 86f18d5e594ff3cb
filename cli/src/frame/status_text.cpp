// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The status texts the desktop program shows, with the same numbers.
#include "status_text.h"

#include <array>
#include <cstdio>

namespace qcli {
namespace {

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), pattern, args...);
    return text.data();
}

}  // namespace

std::string hex_upper(std::uint16_t value) {
    return format("%X", unsigned{value});
}

std::string loaded_text(std::uint16_t size, std::uint16_t checksum) {
    return format("loaded %d bytes [%X]", int{size}, unsigned{checksum});
}

std::string write_ram_text(std::uint16_t size, std::uint16_t checksum) {
    return format("write %d to RAM [%X]", int{size}, unsigned{checksum});
}

std::string read_ram_text(std::uint16_t size, std::uint16_t checksum) {
    return format("read %d from RAM [%X]", int{size}, unsigned{checksum});
}

std::string write_file_text(std::uint16_t size, std::uint16_t checksum) {
    return format("write %d to file [%X]", int{size}, unsigned{checksum});
}

}  // namespace qcli
