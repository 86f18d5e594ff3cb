// probe: does a board answer? Address 0 is the one the library can reach with
// a one-byte transfer: read it, write its complement, read that back, and put
// the original back. The original is read twice first: a data input that gives
// two answers can't tell us what to put back, so nothing is written then.
#include <vandrel.h>
#include <vandrel_board.h>

#include <array>
#include <cstdio>

#include "command.h"
#include "temp_file.h"

namespace qcli {
namespace {

// The library takes images only from files: a one-byte file makes a one-byte upload.
bool upload_byte(TempFile& file, std::uint8_t value) {
    const std::array<std::uint8_t, 1> bytes{value};
    return file.write(bytes) && read_file(file.path().c_str()) == 1 && write_ram() == 1;
}

bool download_byte(std::uint8_t& value) {
    if (read_ram(1) != 1) {
        return false;
    }
    value = getBuffer()[0];
    return true;
}

}  // namespace

int run_probe(Context& ctx) {
    // Its one-byte transfers would each draw a progress line for nothing.
    setCallback(nullptr);
    const std::uint16_t base = set_Port(VANDREL_PORT_QUERY);
    TempFile file;
    if (!file.ok()) {
        return ctx.fail(file.error());
    }
    std::uint8_t original = 0;
    std::uint8_t again = 0;
    std::uint8_t back = 0;
    if (!download_byte(original) || !download_byte(again)) {
        return ctx.library_failure();
    }
    std::array<char, 128> text{};
    if (again != original) {
        ctx.finish_transfer();
        std::snprintf(text.data(), text.size(),
                      "no board answers reliably at 0x%X (address 0 read as %02X, then %02X); "
                      "nothing was written",
                      unsigned{base}, unsigned{original}, unsigned{again});
        return ctx.fail(text.data(), kExitNoBoard);
    }
    const auto written = static_cast<std::uint8_t>(~original);
    if (!upload_byte(file, written) || !download_byte(back) || !upload_byte(file, original)) {
        return file.error().empty() ? ctx.library_failure() : ctx.fail(file.error());
    }
    ctx.finish_transfer();

    if (back == written) {
        std::snprintf(text.data(), text.size(), "board answers at 0x%X", unsigned{base});
        ctx.info() << text.data() << '\n';
        return kExitOk;
    }
    if (original == back && (back == 0xFF || back == 0x00)) {
        std::snprintf(text.data(), text.size(),
                      "no board answers at 0x%X (the data input reads all %s)", unsigned{base},
                      back == 0xFF ? "ones" : "zeros");
    } else {
        std::snprintf(text.data(), text.size(),
                      "no board answers at 0x%X (wrote %02X to address 0, read back %02X)",
                      unsigned{base}, unsigned{written}, unsigned{back});
    }
    return ctx.fail(text.data(), kExitNoBoard);
}

}  // namespace qcli
