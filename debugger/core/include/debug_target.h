/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The 8051 a debugger drives: its memory and breakpoints while it is paused,
// letting it run on, and how its run goes. The simulated board's 8051 is one.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace debugger {

enum class Space { code, xdata, idata, sfr };

// What a watch pauses for: the 8051 reading a byte, writing it, or either.
enum class Access { read, write };

// One instruction as the target's disassembler reads it.
struct Instruction {
    unsigned address = 0;
    std::vector<std::uint8_t> bytes;
    std::string text;  // "MOVX   @DPTR,A"
};

struct TargetState {
    enum class Kind { running, paused, exited, budget, held, failed };
    Kind kind = Kind::paused;
    unsigned pc = 0;
    std::uint64_t cycles = 0;
    int result = 0;    // for exited
    std::string text;  // for failed
};

class Target {
public:
    virtual ~Target() = default;
    virtual bool read(Space space, unsigned address, std::span<std::uint8_t> bytes) = 0;
    virtual bool write(Space space, unsigned address, std::span<const std::uint8_t> bytes) = 0;
    virtual bool set_break(unsigned address) = 0;
    virtual bool clear_break(unsigned address) = 0;
    // Runs on, pausing also at the first address of `once` it reaches.
    virtual bool resume(std::span<const unsigned> once) = 0;
    virtual void pause() = 0;
    virtual TargetState state() = 0;
    // Returns when the run pauses or ends or prints, or after `most`.
    virtual void wait(std::chrono::milliseconds most) = 0;

    // A pause just after the 8051 reads or writes the byte at `address` of
    // `space`, kept until cleared. False where the target has none.
    virtual bool set_watch(Space, unsigned /*address*/, Access) { return false; }
    virtual bool clear_watch(Space, unsigned /*address*/, Access) { return false; }
    // The byte whose watch made the run pause, if one did.
    struct Watched {
        Space space;
        unsigned address;
        Access access;
    };
    virtual std::optional<Watched> watched() { return std::nullopt; }
    // `count` instructions from `address`, fewer or none where it cannot tell.
    virtual std::vector<Instruction> disassemble(unsigned /*address*/, unsigned /*count*/) {
        return {};
    }
};

}  // namespace debugger
