// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "firmware_run.h"

#include <dlportio.h>

#include <algorithm>
#include <fstream>

#include "board_query.h"

namespace board_query {

namespace fs = std::filesystem;

static_assert(static_cast<int>(RunEnd::exited) == DLPORTIO_SIM_EXITED &&
              static_cast<int>(RunEnd::budget) == DLPORTIO_SIM_BUDGET &&
              static_cast<int>(RunEnd::held) == DLPORTIO_SIM_HELD &&
              static_cast<int>(RunEnd::failed) == DLPORTIO_SIM_FAILED);

FirmwareBoard firmware_board(std::uint16_t base) {
    FirmwareBoard board;
    const char* why = nullptr;
    dlportio_quiet(1);
    board.simulated = dlportio_setup(base, nullptr) == DLPORTIO_SIMULATED;
    board.cpu = dlportio_sim_cpu(base, &why) != 0;
    dlportio_quiet(quiet() ? 1 : 0);
    if (board.simulated && !board.cpu) {
        board.why = why != nullptr ? why : "?";
    }
    return board;
}

void plan_runs(std::uint64_t cycles, const std::string& uart_input) {
    dlportio_sim_plan(cycles, uart_input.empty() ? nullptr : uart_input.c_str());
}

RunState run_state() {
    dlportio_sim_run run{};
    dlportio_sim_poll(&run);
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
    dlportio_sim_wait(static_cast<unsigned long>(std::max<std::int64_t>(most.count(), 0)));
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
