/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The board's 8051, simulated by ucsim's s51: it starts on the board's RAM as
// code and data memory when the reset line falls, and hands the RAM back, with
// what the firmware wrote, when the line rises.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "board_cpu.h"
#include "posix/fd.h"
#include "uart_pty.h"

namespace sim {

struct S51Settings {
    std::string program;     // absolute path of s51
    std::string uart_log;    // appended to; empty drops the output
    std::string ports_file;  // last port latches; empty: not kept
    std::string uart_link;   // non-empty: the UART is also a pseudo-terminal, linked here
    std::chrono::milliseconds answer_time{std::chrono::seconds(5)};  // per console answer
};

// The 8051's clock on the board, and oscillator periods per machine cycle.
inline constexpr std::uint64_t kBoardClockHz = 11059200;
inline constexpr std::uint64_t kClocksPerCycle = 12;
// The longest budget the simulator's event times can hold: over 2.5 hours of
// the board's time.
inline constexpr std::uint64_t kMaxBudgetCycles = 10'000'000'000ULL;

// What the firmware left on its four ports.
struct PortLatches {
    std::uint8_t p0, p1, p2, p3;
};

// "P0=0xFF\nP1=0x55\n...", the content of the ports file.
std::string port_latches_text(const PortLatches& latches);

class S51Cpu final : public BoardCpu {
public:
    explicit S51Cpu(S51Settings settings);
    // Ends a simulator that still runs, without taking its memory back.
    ~S51Cpu() override;

    void run(BoardRam ram) override;
    void hold(BoardRam ram) override;
    void plan(const RunPlan& plan) override { plan_ = plan; }
    RunReport poll() override;
    void wait(std::chrono::milliseconds timeout) override;

private:
    struct Session;
    struct UartEnds;

    bool start(Session& session, std::span<const std::uint8_t, kBoardRamSize> ram);
    std::optional<std::filesystem::path> write_run_files(
        const std::filesystem::path& folder, std::span<const std::uint8_t, kBoardRamSize> ram,
        std::vector<std::string>& setup) const;
    bool open_uart(UartEnds& uart, std::vector<std::string>& setup);
    bool spawn(Session& session, const std::filesystem::path& image, quillon::posix::Fd log,
               quillon::posix::Fd input, quillon::posix::Fd terminal);
    bool begin(Session& session, std::vector<std::string> setup);
    // Takes note of a stop the simulator printed in `text`; true if it was one.
    bool note_stop(Session& session, const std::string& text);
    // A UART log that could not be written ends the run as failed: the
    // firmware's output would be lost unseen. True when it did.
    bool note_log_failure();
    // Reads the answers to kAfterStop from the stopped simulator.
    void read_after_stop(Session& session);

    S51Settings settings_;
    RunPlan plan_;
    std::unique_ptr<UartPty> pty_;  // for the layer's life, so a terminal program stays connected
    std::unique_ptr<Session> session_;
    RunReport report_;
    std::atomic<int> log_error_{0};  // errno of the UART log's first failed write
};

}  // namespace sim
