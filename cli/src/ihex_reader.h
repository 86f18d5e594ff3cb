// Intel HEX input: turns the text of a .hex/.ihx file into a board image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qcli {

// The board's RAM: every address of an image lies below this.
inline constexpr std::uint32_t kBoardRamSize = 0x8000;

struct IhexResult {
    // Contiguous from address 0 up to the highest byte given; gaps hold the fill byte.
    std::vector<std::uint8_t> image;
    // Empty on success; otherwise what is wrong and on which line (1-based).
    std::string error;
    std::size_t line = 0;

    bool ok() const { return error.empty(); }
};

// Reads record types 00 (data) and 01 (end), and 02/04 (segment and linear base)
// as long as every data address stays below kBoardRamSize. Accepts LF and CRLF
// line ends and blank lines; ignores everything after the end record.
IhexResult read_ihex(std::string_view text, std::uint8_t fill = 0xFF);

}  // namespace qcli
