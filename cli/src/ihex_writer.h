// Intel HEX output: writes a board image as data records and an end record.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qcli {

// 16 data bytes a record, type 00 from address 0, then ":00000001FF". Every
// byte is written, fill-like runs included, so reading it back gives the same
// image size.
std::string write_ihex(std::span<const std::uint8_t> image);

}  // namespace qcli
