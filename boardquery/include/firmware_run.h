/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Firmware on the board behind a port, as `quillon-cli run` follows it: whether
// it can run there, the plan for its runs, how a run goes, and what the
// simulated board's 8051 left on its UART and its ports.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace board_query {

struct FirmwareBoard {
    bool simulated = false;  // the simulated board serves the port
    bool cpu = false;        // with an 8051 that runs firmware
    std::string why;         // on the simulated board without it: why not
};

// Asks without a word on standard error: the program tells what is missing.
FirmwareBoard firmware_board(std::uint16_t base);

// For the simulated 8051's runs from now on: stop after `cycles` machine
// cycles (0: no limit); feed the file `uart_input` to its UART (empty: none).
void plan_runs(std::uint64_t cycles, const std::string& uart_input);

enum class RunEnd { none, exited, budget, held, failed };

struct RunState {
    bool running = false;
    RunEnd end = RunEnd::none;
    int result = 0;            // the firmware's result, for RunEnd::exited
    std::uint64_t cycles = 0;  // machine cycles the run took, once it stopped
    double wall_seconds = 0;
    std::string text;  // for RunEnd::failed: what happened
};

// The current or last run of the simulated 8051.
RunState run_state();

// Returns when the simulated 8051 sends UART output or stops, or after `most`.
void wait_for_run(std::chrono::milliseconds most);

// The file the simulated 8051's UART output is appended to.
std::filesystem::path uart_log();

// The simulated 8051's UART output and port latches from the moment this is
// made: what earlier runs left is not this run's.
class RunOutput {
public:
    RunOutput();

    const std::filesystem::path& uart_path() const { return uart_; }
    // The UART output that came since the last call.
    std::string new_uart_text();
    // "P0=0xFF P1=0x55 P2=0xFF P3=0xFF" when the 8051 stopped since this was made.
    std::optional<std::string> port_latches() const;

private:
    std::filesystem::path uart_;
    std::uintmax_t uart_offset_ = 0;
    std::filesystem::path ports_;
    std::optional<std::filesystem::file_time_type> ports_before_;
};

}  // namespace board_query
