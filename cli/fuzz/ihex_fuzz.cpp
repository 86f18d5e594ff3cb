// libFuzzer target: the Intel HEX reader must take any bytes without crashing,
// and whatever it accepts must fit the board's RAM.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ihex_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const qcli::IhexResult result = qcli::read_ihex(text, size > 0 ? data[0] : 0xFF);
    if (result.ok() && (result.image.empty() || result.image.size() > qcli::kBoardRamSize)) {
        std::abort();
    }
    if (!result.ok() && (result.line == 0 || !result.image.empty())) {
        std::abort();
    }
    return 0;
}
