/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The board's microcontroller as the simulated board's logic sees it: it runs
// while the reset line is low and owns the board's RAM then.
#pragma once

#include <simboard.h>
#include <chrono>
#include <cstdint>
#include <memory>

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ram_file.h"

namespace sim {

// What the runs that start from now on are to do; set by the program that
// holds the board, before it lets the microcontroller run.
struct RunPlan {
    std::uint64_t cycles = 0;  // machine cycles after which the microcontroller stops; 0: no limit
    std::string uart_input;    // file whose bytes reach the UART's receive side; empty: none
    bool debug = false;        // pause at the start and at breakpoints
    std::string until_uart = {};  // ends the run as the firmware sends it; empty: none
    std::string fail_uart = {};   // ends and fails the run as the firmware sends it; empty: none
};

struct RunReport {
    bool running = false;
    bool paused = false;                    // a debugged run waits at its start or a breakpoint
    simboard_end end = SIMBOARD_NOT_ENDED;  // how the last run ended
    std::uint8_t result = 0;                // the firmware's result, for SIMBOARD_EXITED
    std::uint64_t cycles = 0;               // machine cycles run, once stopped or paused
    unsigned pc = 0;                        // where it stopped or paused
    double wall_seconds = 0;                // from the start to the stop
    std::string text;                       // for SIMBOARD_FAILED: what went wrong
    int uart_text = 0;                      // for SIMBOARD_UART_TEXT: enum simboard_uart_text
};

class BoardCpu {
public:
    virtual ~BoardCpu() = default;
    // Reset line fell: the microcontroller starts on the RAM as it now stands.
    virtual void run(BoardRam ram) = 0;
    // Reset line rose: the microcontroller stops and hands the RAM back (it may
    // write what the program changed into `ram`).
    virtual void hold(BoardRam ram) = 0;
    virtual void plan(const RunPlan&) {}
    // The state of the current or last run; notices a microcontroller that
    // stopped by itself.
    virtual RunReport poll() { return {}; }
    // Returns once the running microcontroller has printed on its UART or
    // stopped, or after `timeout`; at once when none runs.
    virtual void wait(std::chrono::milliseconds /*timeout*/) {}

    // Debugging, while a debugged microcontroller is paused: its memory by
    // simboard_space, its breakpoints, and letting it run on (pausing also at
    // the addresses `once`, for this run only). False where it cannot.
    virtual bool read(int /*space*/, unsigned /*address*/, std::span<std::uint8_t> /*bytes*/) {
        return false;
    }
    virtual bool write(int /*space*/, unsigned /*address*/,
                       std::span<const std::uint8_t> /*bytes*/) {
        return false;
    }
    virtual bool set_break(unsigned /*address*/) { return false; }
    virtual bool clear_break(unsigned /*address*/) { return false; }
    virtual bool resume(std::span<const unsigned> /*once*/) { return false; }
    // Asks a running microcontroller to pause.
    virtual void pause() {}
    // Pauses after a read ('r') or write ('w') of a byte, kept across resumes.
    virtual bool watch(int /*space*/, unsigned /*address*/, char /*access*/) { return false; }
    virtual bool unwatch(int /*space*/, unsigned /*address*/, char /*access*/) { return false; }
    // The watch that made the last pause, if one did.
    struct Watched {
        int space = 0;
        unsigned address = 0;
        char access = 0;
    };
    virtual std::optional<Watched> watched() const { return std::nullopt; }
    // "59 f0\tMOVX @DPTR,A" for each of `count` instructions from `address`.
    virtual std::vector<std::string> disassemble(unsigned /*address*/, unsigned /*count*/) {
        return {};
    }
};

// What the board's microcontroller is and where its outputs go.
struct CpuSettings {
    std::string mcu;         // "" for none, or "s51"
    std::string uart_log;    // the UART output is appended here; empty drops it
    std::string ports_file;  // the port latches at the last stop; empty: not kept
    std::string uart_link;   // non-empty: the UART is a pseudo-terminal too, linked here
};

// The microcontroller configured for the simulated board, or none (the board
// then only stores and returns bytes, and `why_none`, when given, says why).
std::unique_ptr<BoardCpu> make_board_cpu(const CpuSettings& settings,
                                         std::string* why_none = nullptr);

}  // namespace sim
