/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// One run of the simulator: its process, console, UART relay and files, and
// what is known of the 8051 while it is paused and once it has stopped.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "child_process.h"
#include "ram_file.h"
#include "ram_image.h"
#include "sim_console.h"
#include "uart_relay.h"

namespace sim {

// A private folder for the image the simulator loads; removed with it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Members end in reverse order: the process first, so that the relay sees the
// end of the UART pipe, then the console.
class S51Session {
public:
    std::string error;
    SimConsole console{error};
    TempFolder folder;
    std::array<std::uint8_t, kBoardRamSize> started_on{};  // the RAM as the 8051 found it
    std::chrono::steady_clock::time_point started;
    std::unique_ptr<UartRelay> relay;
    std::unique_ptr<ChildProcess> process;
    std::string printed;  // what the simulator printed on its own since the last exchange

    bool stopped = false;      // for good: exited, budget, held or failed
    bool paused = false;       // a debugged 8051 waits
    bool pause_asked = false;  // a pause was asked for and has not come yet
    bool asked = false;        // the answers to the questions of the stop were taken

    // What the 8051 left at its stop.
    std::array<std::uint8_t, kBoardRamSize> memory{};
    std::array<std::uint8_t, 0x100> sfr{};  // by address
    bool have_memory = false;
    bool have_ports = false;

    // While paused: its clocks, internal RAM and special function registers
    // (from kSnapshot), and its memory once it was read.
    std::uint64_t clocks = 0;
    std::array<std::uint8_t, 0x80> iram{};
    bool have_snapshot = false;
    bool have_pause_memory = false;

    RamLayout layout;              // the RAM as it was handed over: its fill and the rest
    std::uint32_t hole_slack = 0;  // bytes the simulator's hole lengths leave out
    std::string after_stop;        // the file of the questions a stop asks

    std::map<unsigned, int> breaks;  // the breakpoints kept across resumes: address, number
    std::vector<int> once;           // those of the last resume only, to delete
    // The watches: space, address and access ('r' or 'w'), and their breakpoint numbers.
    std::map<std::tuple<int, unsigned, char>, int> watches;
    std::optional<std::tuple<int, unsigned, char>> watched;  // the one of this pause

    // Takes a snapshot from the answers to kSnapshot in `text`.
    void note_snapshot(std::string_view text);
    // Forgets what was known of the paused 8051.
    void ran_on();

    // A command whose answer closes an exchange: a number no other answer
    // prints on a line of its own, new for each exchange.
    std::string marker_command();
    std::function<std::size_t(const std::string&)> marker_end() const;

private:
    unsigned exchanges_ = 0;
};

}  // namespace sim
