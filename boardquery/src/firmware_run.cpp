// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// A firmware run as the programs follow it, through the simulated board's library when loaded.
#include "firmware_run.h"

#include <dlfcn.h>
#include <dlportio.h>
#include <simboard.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "board_query.h"

namespace board_query {

namespace fs = std::filesystem;

namespace {

// The simulated board's library as the port-access layer loaded it, or nothing
// while no board of this process is simulated: then there is no 8051 to ask.
// Once found, the handle is kept: the layer never unloads the library.
void* simboard_library() {
    static void* handle = nullptr;
    if (handle == nullptr) {
        handle = ::dlopen(SIMBOARD_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    }
    return handle;
}

template <typename Function>
Function simboard_function(const char* name) {
    void* handle = simboard_library();
    return handle != nullptr ? reinterpret_cast<Function>(::dlsym(handle, name)) : nullptr;
}

}  // namespace

static_assert(static_cast<int>(RunEnd::exited) == SIMBOARD_EXITED &&
              static_cast<int>(RunEnd::budget) == SIMBOARD_BUDGET &&
              static_cast<int>(RunEnd::held) == SIMBOARD_HELD &&
              static_cast<int>(RunEnd::failed) == SIMBOARD_FAILED);

FirmwareBoard firmware_board(std::uint16_t base) {
    FirmwareBoard board;
    dlportio_quiet(1);
    board.simulated = dlportio_setup(base, nullptr) == DLPORTIO_SIMULATED;
    dlportio_quiet(quiet() ? 1 : 0);
    if (!board.simulated) {
        return board;
    }
    const char* why = "the simulated board's library is not loaded";
    if (const auto cpu = simboard_function<decltype(&simboard_cpu)>("simboard_cpu")) {
        board.cpu = cpu(&why) != 0;
    }
    if (!board.cpu) {
        board.why = why != nullptr ? why : "?";
    }
    return board;
}

void plan_runs(std::uint64_t cycles, const std::string& uart_input) {
    if (const auto plan = simboard_function<decltype(&simboard_plan)>("simboard_plan")) {
        plan(cycles, uart_input.empty() ? nullptr : uart_input.c_str());
    }
}

RunState run_state() {
    simboard_run run{};
    if (const auto poll = simboard_function<decltype(&simboard_poll)>("simboard_poll")) {
        poll(&run);
    }
    RunState state;
    state.running = run.running != 0;
    state.end = static_cast<RunEnd>(run.end);
    state.result = run.result;
    state.cycles = run.cycles;
    state.wall_seconds = run.wall_seconds;
    state.text = run.text != nullptr ? run.text : "";
    return state;
}

void wait_for_run(std::chrono::milliseconds most) {
    if (const auto wait = simboard_function<decltype(&simboard_wait)>("simboard_wait")) {
        wait(static_cast<unsigned long>(std::max<std::int64_t>(most.count(), 0)));
    } else {
        // No 8051 to wake us: a short pause, so that a caller's loop never spins.
        std::this_thread::sleep_for(
            std::clamp(most, std::chrono::milliseconds(0), std::chrono::milliseconds(20)));
    }
}

fs::path uart_log() {
    return dlportio_path("uart");
}

RunOutput::RunOutput() : uart_(uart_log()), ports_(dlportio_path("ports")) {
    std::error_code ec;
    if (const auto size = fs::file_size(uart_, ec); !ec) {
        uart_offset_ = size;
    }
    if (const auto time = fs::last_write_time(ports_, ec); !ec) {
        ports_before_ = time;
    }
}

std::string RunOutput::new_uart_text() {
    std::error_code ec;
    if (!fs::is_regular_file(uart_, ec)) {
        return {};  // a folder or a device has no end to follow
    }
    std::ifstream in(uart_, std::ios::binary);
    if (!in) {
        return {};
    }
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    if (end < static_cast<std::streamoff>(uart_offset_)) {
        uart_offset_ = 0;  // the log was truncated or replaced
    }
    if (end <= static_cast<std::streamoff>(uart_offset_)) {
        return {};
    }
    in.seekg(static_cast<std::streamoff>(uart_offset_));
    std::string text(static_cast<std::size_t>(end) - uart_offset_, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    uart_offset_ += text.size();
    return text;
}

std::optional<std::string> RunOutput::port_latches() const {
    std::error_code ec;
    const auto written = fs::last_write_time(ports_, ec);
    if (ec || (ports_before_ && written == *ports_before_)) {
        return std::nullopt;
    }
    std::ifstream in(ports_);
    std::string line;
    std::string text;
    while (std::getline(in, line)) {
        if (!line.empty()) {
            text += (text.empty() ? "" : " ") + line;
        }
    }
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

}  // namespace board_query
