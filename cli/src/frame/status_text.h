/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The desktop program's status texts, so scripts see the same numbers users do.
#pragma once

#include <cstdint>
#include <string>

namespace qcli {

// Upper-case hexadecimal without leading zeros: 0x00AB gives "AB".
std::string hex_upper(std::uint16_t value);

std::string loaded_text(std::uint16_t size, std::uint16_t checksum);     // "loaded %d bytes [%hX]"
std::string write_ram_text(std::uint16_t size, std::uint16_t checksum);  // "write %d to RAM [%hX]"
std::string read_ram_text(std::uint16_t size, std::uint16_t checksum);   // "read %d from RAM [%hX]"
std::string write_file_text(std::uint16_t size,
                            std::uint16_t checksum);  // "write %d to file [%hX]"

}  // namespace qcli
