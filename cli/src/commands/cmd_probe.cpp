// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// probe: does a board answer? Address 0 is the one the library can reach with
// a one-byte transfer: write the complement of what it holds, read that back,
// and put the original back. Nothing is written until the reads can be
// trusted to tell what to put back: the same answer twice, and both levels
// seen on the data input. An input stuck at one level reads the same every
// time, so a byte read through it says nothing about the RAM.
#include <board_query.h>
#include <vandrel.h>
#include <vandrel_board.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "no_answer.h"
#include "temp_file.h"

namespace qcli {
namespace {

// Bytes read when byte 0 alone shows one level only (00 or FF).
constexpr std::uint16_t kLookBytes = 256;

// The library takes images only from files: a one-byte file makes a one-byte upload.
bool upload_byte(TempFile& file, std::uint8_t value) {
    const std::array<std::uint8_t, 1> bytes{value};
    return file.write(bytes) && read_file(file.path().c_str()) == 1 && write_ram() == 1;
}

// False also when a port access failed: the bytes are not the board's then.
bool download(std::uint16_t size, std::vector<std::uint8_t>& bytes) {
    if (read_ram(size) != size || board_query::failure_since(set_Port(VANDREL_PORT_QUERY))) {
        return false;
    }
    bytes.assign(getBuffer(), getBuffer() + size);
    return true;
}

std::string hex(unsigned value) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "%02X", value & 0xFFu);
    return text.data();
}

// True when the bytes hold at least one 0 bit and one 1 bit.
bool both_levels(const std::vector<std::uint8_t>& bytes) {
    std::uint8_t any = 0x00;
    std::uint8_t all = 0xFF;
    for (const std::uint8_t b : bytes) {
        any |= b;
        all &= b;
    }
    return any != 0x00 && all != 0xFF;
}

class Probe {
public:
    explicit Probe(Context& ctx) : ctx_(ctx), at_(board_at()) {}

    int run() {
        if (!file_.ok()) {
            return ctx_.fail(file_.error());
        }
        std::vector<std::uint8_t> first;
        std::vector<std::uint8_t> again;
        if (!download(1, first) || !download(1, again)) {
            return transfer_failure();
        }
        if (first != again) {
            return untouched("no board answers reliably at " + at_ + " (address 0 read as " +
                             hex(first[0]) + ", then " + hex(again[0]) + "); nothing was written");
        }
        const std::uint8_t original = first[0];
        if (!both_levels(first)) {
            if (!download(kLookBytes, first) || !download(kLookBytes, again)) {
                return transfer_failure();
            }
            if (first != again || first[0] != original) {
                return untouched("no board answers reliably at " + at_ +
                                 " (two reads of addresses 0 to 255 differ); nothing was written");
            }
            if (!both_levels(first)) {
                return untouched(
                    original == 0xFF
                        ? "no board answers at " + at_ + " (the data input reads all ones)"
                        : "cannot tell whether a board answers at " + at_ +
                              ": the data input reads all zeros (held low, or addresses 0 to "
                              "255 all hold 00); nothing was written");
            }
        }
        return write_and_restore(original);
    }

private:
    int untouched(const std::string& message) {
        ctx_.finish_transfer();
        return ctx_.fail(message, kExitNoBoard);
    }

    // The original goes back only once the read-back has shown the write take
    // effect: a read-back that still shows the original means the write was
    // lost, or the data input reads every bit inverted and the complement is
    // in truth the original; writing "back" then would destroy the byte.
    int write_and_restore(std::uint8_t original) {
        const auto written = static_cast<std::uint8_t>(~original);
        std::vector<std::uint8_t> back;
        if (!upload_byte(file_, written) || !download(1, back)) {
            return transfer_failure();
        }
        if (back[0] != written) {
            ctx_.finish_transfer();
            const std::string wrote = "no board answers at " + at_ + " (wrote " + hex(written) +
                                      " to address 0, read back " + hex(back[0]) + ")";
            return ctx_.fail(back[0] == original
                                 ? wrote + "; nothing more was written"
                                 : wrote + "; address 0 may now hold " + hex(written) +
                                       " in place of " + hex(original),
                             kExitNoBoard);
        }
        std::vector<std::uint8_t> restored;
        if (!upload_byte(file_, original) || !download(1, restored)) {
            return transfer_failure();
        }
        if (restored[0] != original) {
            return ctx_.fail("address 0 could not be put back at " + at_ + ": it held " +
                                 hex(original) + ", it reads " + hex(restored[0]),
                             kExitNoBoard);
        }
        ctx_.finish_transfer();
        ctx_.info() << "board answers at " << at_ << '\n';
        return kExitOk;
    }

    int transfer_failure() {
        if (const int rc = ctx_.check_port(); rc != kExitOk) {
            return rc;
        }
        return file_.error().empty() ? ctx_.library_failure() : ctx_.fail(file_.error());
    }

    Context& ctx_;
    std::string at_;
    TempFile file_;
};

}  // namespace

int run_probe(Context& ctx) {
    // Its one-byte transfers would each draw a progress line for nothing.
    setCallback(nullptr);
    return Probe(ctx).run();
}

}  // namespace qcli
