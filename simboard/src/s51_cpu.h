/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The board's 8051, simulated by ucsim's s51: it starts on the board's RAM as
// code and data memory when the reset line falls, and hands the RAM back, with
// what the firmware wrote, when the line rises. Debugged, it pauses at its
// start and at breakpoints, where its memory can be read and written.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "board_cpu.h"
#include "posix/fd.h"
#include "uart_pty.h"

namespace sim {

class S51Session;

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

    bool read(int space, unsigned address, std::span<std::uint8_t> bytes) override;
    bool write(int space, unsigned address, std::span<const std::uint8_t> bytes) override;
    bool set_break(unsigned address) override;
    bool clear_break(unsigned address) override;
    bool resume(std::span<const unsigned> once) override;
    void pause() override;
    bool watch(int space, unsigned address, char access) override;
    bool unwatch(int space, unsigned address, char access) override;
    std::optional<Watched> watched() const override;
    std::vector<std::string> disassemble(unsigned address, unsigned count) override;

private:
    struct UartEnds;
    // What the simulator printed on its own that is kept while looking for a
    // stop: enough for the answers the stop brings with it.
    static constexpr std::size_t kMaxPrinted = 1 << 20;

    bool start(S51Session& session, std::span<const std::uint8_t, kBoardRamSize> ram);
    bool write_run_files(S51Session& session, std::span<const std::uint8_t, kBoardRamSize> ram,
                         std::vector<std::string>& setup) const;
    bool open_uart(UartEnds& uart, std::vector<std::string>& setup);
    bool spawn(S51Session& session, quillon::posix::Fd log, quillon::posix::Fd input,
               quillon::posix::Fd terminal);
    bool begin(S51Session& session, std::vector<std::string> setup);
    // Takes note of the stop the text tells of, with what the simulator
    // printed with it; true if there was one.
    bool note_stop(S51Session& session, const std::string& text);
    // A stop at a write to SBUF: the byte sent, and the run either taken up
    // again or ended at one of the plan's texts. True, as for note_stop.
    bool note_sent(S51Session& session, std::string_view text);
    // What the 8051 left, from the answers to the questions of its stop in
    // `text` (and, for what they leave out, one more exchange).
    void note_after_stop(S51Session& session, std::string_view text);
    // A UART log that could not be written ends the run as failed: the
    // firmware's output would be lost unseen. True when it did.
    bool note_log_failure();
    // The reset line rose while the 8051 ran or waited: stops it and reads
    // what it left.
    void stop_for_hold(S51Session& session);
    // Hands back what the 8051 left and ends the simulator.
    void hand_back(S51Session& session, BoardRam ram);
    // One exchange with a paused 8051: the lines (and the breakpoints still to
    // delete) in one write, the answer through `ending` and its prompt.
    std::optional<std::string> ask(std::vector<std::string> lines, std::string_view ending = {});
    // Breakpoint changes not yet sent, and their numbers from the answer.
    std::vector<std::string> break_changes();
    std::vector<int> note_breaks(const std::string& said);
    std::optional<std::string> converse(
        std::vector<std::string> lines,
        const std::function<std::size_t(const std::string&)>& complete);

    S51Settings settings_;
    RunPlan plan_;
    std::unique_ptr<UartPty> pty_;  // for the layer's life, so a terminal program stays connected
    std::unique_ptr<S51Session> session_;
    RunReport report_;
    std::string sent_;  // what the firmware sent this run, as much as the longest text
    std::optional<std::uint8_t> unsent_;  // the last byte of a text the run stopped at
    std::atomic<int> log_error_{0};       // errno of the UART log's first failed write
};

}  // namespace sim
