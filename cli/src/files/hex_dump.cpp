// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The dump lines: address, sixteen bytes in hexadecimal, the same as characters.
#include "hex_dump.h"

#include <array>
#include <cstdio>
#include <string>

namespace qcli {

void hex_dump(std::ostream& out, std::span<const std::uint8_t> bytes) {
    constexpr std::size_t kPerLine = 16;
    for (std::size_t start = 0; start < bytes.size(); start += kPerLine) {
        std::array<char, 24> text{};
        std::snprintf(text.data(), text.size(), "%04zX:", start);
        std::string line = text.data();
        std::string chars;
        for (std::size_t i = 0; i < kPerLine; ++i) {
            if (start + i < bytes.size()) {
                const std::uint8_t b = bytes[start + i];
                std::snprintf(text.data(), text.size(), " %02X", unsigned{b});
                line += text.data();
                chars += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
            } else {
                line += "   ";
            }
        }
        out << line << "  " << chars << '\n';
    }
}

}  // namespace qcli
