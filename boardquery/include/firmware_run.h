/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Firmware on the board behind a port, as `quillon-cli run` and `debug` follow
// it: whether it can run there, and the simulated board's 8051 of that port:
// the plan for its runs, how a run goes, its memory and breakpoints while a
// debugged run is paused, and what it left on its UART and its ports.
#pragma once

#include <simboard.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace board_query {

struct FirmwareBoard {
    bool simulated = false;  // the simulated board serves the port
    bool cpu = false;        // with an 8051 that runs firmware
    std::string why;         // on the simulated board without it: why not
};

// Asks without a word on standard error: the program tells what is missing.
FirmwareBoard firmware_board(std::uint16_t base);

// How a run ended, or that it goes on: simboard.h's one list.
using RunEnd = simboard_end;

struct RunState {
    bool running = false;
    bool paused = false;  // a debugged run waits at its start or a breakpoint
    RunEnd end = SIMBOARD_NOT_ENDED;
    int result = 0;            // the firmware's result, for SIMBOARD_EXITED
    std::uint64_t cycles = 0;  // machine cycles the run took, once it stopped or paused
    unsigned pc = 0;           // where it stopped or paused
    double wall_seconds = 0;
    std::string text;   // for SIMBOARD_FAILED: what happened
    int uart_text = 0;  // for SIMBOARD_UART_TEXT: SIMBOARD_UNTIL_TEXT or SIMBOARD_FAIL_TEXT
};

// The 8051's memory spaces, as simboard.h numbers them.
enum class Space {
    code = SIMBOARD_CODE,
    xdata = SIMBOARD_XDATA,
    idata = SIMBOARD_IDATA,
    sfr = SIMBOARD_SFR
};

// What made a debugged run pause when one of its watches did.
struct Watched {
    Space space = Space::xdata;
    unsigned address = 0;
    char access = 0;  // 'r' or 'w'
};

// One instruction as the simulator's disassembler reads it.
struct Instruction {
    unsigned address = 0;
    std::vector<std::uint8_t> bytes;
    std::string text;  // "MOVX   @DPTR,A"
};

struct SimboardFunctions;

// The simulated board's 8051 behind one port; none (valid() false) where the
// port reaches no simulated board.
class SimulatedCpu {
public:
    explicit SimulatedCpu(std::uint16_t base);
    ~SimulatedCpu();
    SimulatedCpu(const SimulatedCpu&) = delete;
    SimulatedCpu& operator=(const SimulatedCpu&) = delete;

    bool valid() const { return board_ != nullptr; }

    // For the runs from now on: stop after `cycles` machine cycles (0: no
    // limit), feed the file `uart_input` to the UART (empty: none), and with
    // `debug` pause at the start and at breakpoints; a run (not debugged)
    // ends at the write to SBUF that completes `until_uart` or `fail_uart`.
    void plan(std::uint64_t cycles, const std::string& uart_input, bool debug = false,
              const std::string& until_uart = {}, const std::string& fail_uart = {});
    // The current or last run.
    RunState state();
    // Returns when the 8051 sends UART output, stops or pauses, or after `most`.
    void wait(std::chrono::milliseconds most);
    // The board's files: "uart" (the UART output), "ports" (the last port latches).
    std::filesystem::path file(const char* what) const;

    // While a debugged run is paused.
    bool read(Space space, unsigned address, std::span<std::uint8_t> bytes);
    bool write(Space space, unsigned address, std::span<const std::uint8_t> bytes);
    bool set_break(unsigned address);
    bool clear_break(unsigned address);
    // Runs on, pausing also at the first of `once` it reaches.
    bool resume(std::span<const unsigned> once = {});
    // Asks a running 8051 to pause.
    void pause();
    // Pauses after the 8051 reads ('r') or writes ('w') the byte, until unwatched.
    bool watch(Space space, unsigned address, char access);
    bool unwatch(Space space, unsigned address, char access);
    // The watch that made this pause, if one did.
    std::optional<Watched> watched();
    // `count` instructions from `address`; fewer or none where it cannot.
    std::vector<Instruction> disassemble(unsigned address, unsigned count);

private:
    const SimboardFunctions* functions_ = nullptr;
    simboard* board_ = nullptr;
};

// The simulated 8051's UART output and port latches from the moment this is
// made: what earlier runs left is not this run's.
class RunOutput {
public:
    explicit RunOutput(const SimulatedCpu& cpu);

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
