/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The board's microcontroller as the simulated board's logic sees it: it runs
// while the reset line is low and owns the board's RAM then.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "ram_file.h"

namespace sim {

// What the runs that start from now on are to do; set by the program that
// holds the board, before it lets the microcontroller run.
struct RunPlan {
    std::uint64_t cycles = 0;  // machine cycles after which the microcontroller stops; 0: no limit
    std::string uart_input;    // file whose bytes reach the UART's receive side; empty: none
};

// How the last run ended (the values are simboard.h's simboard_end).
enum class RunEnd { none = 0, exited = 1, budget = 2, held = 3, failed = 4 };

struct RunReport {
    bool running = false;
    RunEnd end = RunEnd::none;
    std::uint8_t result = 0;   // the firmware's result, for RunEnd::exited
    std::uint64_t cycles = 0;  // machine cycles run, once stopped
    double wall_seconds = 0;   // from the start to the stop
    std::string text;          // for RunEnd::failed: what went wrong
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
