// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// A firmware run as the programs follow it, through the simulated board's library when loaded.
#include "firmware_run.h"

#include <dlfcn.h>
#include <dlportio.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

#include "board_query.h"

namespace board_query {

namespace fs = std::filesystem;

// The simulated board's functions, looked up in its library as the
// port-access layer loaded it; that layer never unloads it.
struct SimboardFunctions {
    decltype(&simboard_cpu) cpu = nullptr;
    decltype(&simboard_path) path = nullptr;
    decltype(&simboard_plan) plan = nullptr;
    decltype(&simboard_poll) poll = nullptr;
    decltype(&simboard_wait) wait = nullptr;
    decltype(&simboard_read) read = nullptr;
    decltype(&simboard_write) write = nullptr;
    decltype(&simboard_break) set_break = nullptr;
    decltype(&simboard_clear) clear_break = nullptr;
    decltype(&simboard_resume) resume = nullptr;
    decltype(&simboard_pause) pause = nullptr;
    // Null in a library older than the program: the debugger goes without them.
    decltype(&simboard_watch) watch = nullptr;
    decltype(&simboard_unwatch) unwatch = nullptr;
    decltype(&simboard_watched) watched = nullptr;
    decltype(&simboard_disassemble) disassemble = nullptr;
};

namespace {

template <typename Function>
bool look_up(void* handle, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::dlsym(handle, name));
    return function != nullptr;
}

// Null while no port of this process reaches the simulated board: its library
// is not loaded then, and there is no 8051 to ask.
const SimboardFunctions* simboard_functions() {
    static SimboardFunctions found;
    static bool complete = false;
    if (!complete) {
        void* handle = ::dlopen(SIMBOARD_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
        complete = handle != nullptr && look_up(handle, "simboard_cpu", found.cpu) &&
                   look_up(handle, "simboard_path", found.path) &&
                   look_up(handle, "simboard_plan", found.plan) &&
                   look_up(handle, "simboard_poll", found.poll) &&
                   look_up(handle, "simboard_wait", found.wait) &&
                   look_up(handle, "simboard_read", found.read) &&
                   look_up(handle, "simboard_write", found.write) &&
                   look_up(handle, "simboard_break", found.set_break) &&
                   look_up(handle, "simboard_clear", found.clear_break) &&
                   look_up(handle, "simboard_resume", found.resume) &&
                   look_up(handle, "simboard_pause", found.pause);
        if (complete) {
            look_up(handle, "simboard_watch", found.watch);
            look_up(handle, "simboard_unwatch", found.unwatch);
            look_up(handle, "simboard_watched", found.watched);
            look_up(handle, "simboard_disassemble", found.disassemble);
        }
    }
    return complete ? &found : nullptr;
}

}  // namespace

FirmwareBoard firmware_board(std::uint16_t base) {
    FirmwareBoard board;
    dlportio_quiet(1);
    board.simulated = dlportio_setup(base, nullptr) == DLPORTIO_SIMULATED;
    dlportio_quiet(quiet() ? 1 : 0);
    if (!board.simulated) {
        return board;
    }
    const char* why = "the simulated board's library is not loaded";
    auto* handle = static_cast<simboard*>(dlportio_simulated_board(base));
    if (const SimboardFunctions* functions = simboard_functions(); functions && handle) {
        board.cpu = functions->cpu(handle, &why) != 0;
    }
    if (!board.cpu) {
        board.why = why != nullptr ? why : "?";
    }
    return board;
}

SimulatedCpu::SimulatedCpu(std::uint16_t base)
    : functions_(nullptr), board_(static_cast<simboard*>(dlportio_simulated_board(base))) {
    functions_ = board_ != nullptr ? simboard_functions() : nullptr;
    if (functions_ == nullptr) {
        board_ = nullptr;
    }
}

SimulatedCpu::~SimulatedCpu() = default;

void SimulatedCpu::plan(std::uint64_t cycles, const std::string& uart_input, bool debug,
                        const std::string& until_uart, const std::string& fail_uart) {
    if (valid()) {
        const simboard_run_plan plan{cycles, uart_input.empty() ? nullptr : uart_input.c_str(),
                                     debug ? 1 : 0, until_uart.c_str(), fail_uart.c_str()};
        functions_->plan(board_, &plan);
    }
}

RunState SimulatedCpu::state() {
    simboard_run run{};
    if (valid()) {
        functions_->poll(board_, &run);
    }
    RunState state;
    state.running = run.running != 0;
    state.paused = run.paused != 0;
    state.end = static_cast<RunEnd>(run.end);
    state.result = run.result;
    state.cycles = run.cycles;
    state.pc = run.pc;
    state.wall_seconds = run.wall_seconds;
    state.text = run.text != nullptr ? run.text : "";
    state.uart_text = run.uart_text;
    return state;
}

void SimulatedCpu::wait(std::chrono::milliseconds most) {
    if (valid()) {
        functions_->wait(board_,
                         static_cast<unsigned long>(std::max<std::int64_t>(most.count(), 0)));
    } else {
        // No 8051 to wake us: a short pause, so that a caller's loop never spins.
        std::this_thread::sleep_for(
            std::clamp(most, std::chrono::milliseconds(0), std::chrono::milliseconds(20)));
    }
}

fs::path SimulatedCpu::file(const char* what) const {
    const char* path = valid() ? functions_->path(board_, what) : nullptr;
    return path != nullptr ? fs::path(path) : fs::path();
}

bool SimulatedCpu::read(Space space, unsigned address, std::span<std::uint8_t> bytes) {
    return valid() && functions_->read(board_, static_cast<int>(space), address, bytes.data(),
                                       static_cast<unsigned>(bytes.size())) != 0;
}

bool SimulatedCpu::write(Space space, unsigned address, std::span<const std::uint8_t> bytes) {
    return valid() && functions_->write(board_, static_cast<int>(space), address, bytes.data(),
                                        static_cast<unsigned>(bytes.size())) != 0;
}

bool SimulatedCpu::set_break(unsigned address) {
    return valid() && functions_->set_break(board_, address) != 0;
}

bool SimulatedCpu::clear_break(unsigned address) {
    return valid() && functions_->clear_break(board_, address) != 0;
}

bool SimulatedCpu::resume(std::span<const unsigned> once) {
    return valid() &&
           functions_->resume(board_, once.data(), static_cast<unsigned>(once.size())) != 0;
}

void SimulatedCpu::pause() {
    if (valid()) {
        functions_->pause(board_);
    }
}

bool SimulatedCpu::watch(Space space, unsigned address, char access) {
    return valid() && functions_->watch != nullptr &&
           functions_->watch(board_, static_cast<int>(space), address, access) != 0;
}

bool SimulatedCpu::unwatch(Space space, unsigned address, char access) {
    return valid() && functions_->unwatch != nullptr &&
           functions_->unwatch(board_, static_cast<int>(space), address, access) != 0;
}

std::optional<Watched> SimulatedCpu::watched() {
    int space = 0;
    unsigned address = 0;
    int access = 0;
    if (!valid() || functions_->watched == nullptr ||
        functions_->watched(board_, &space, &address, &access) == 0) {
        return std::nullopt;
    }
    return Watched{static_cast<Space>(space), address, static_cast<char>(access)};
}

std::vector<Instruction> SimulatedCpu::disassemble(unsigned address, unsigned count) {
    std::vector<Instruction> found;
    if (!valid() || functions_->disassemble == nullptr) {
        return found;
    }
    std::string text(count * 80 + 1, '\0');
    if (functions_->disassemble(board_, address, count, text.data(),
                                static_cast<unsigned>(text.size())) == 0) {
        return found;
    }
    text.resize(text.find('\0'));
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t tab = line.find('\t');
        std::istringstream words(line.substr(0, tab));
        Instruction instruction;
        std::string word;
        words >> word;
        instruction.address = static_cast<unsigned>(std::stoul(word, nullptr, 16));
        while (words >> word) {
            instruction.bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
        }
        instruction.text = tab == std::string::npos ? std::string() : line.substr(tab + 1);
        found.push_back(std::move(instruction));
    }
    return found;
}

RunOutput::RunOutput(const SimulatedCpu& cpu) : uart_(cpu.file("uart")), ports_(cpu.file("ports")) {
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
    if (uart_.empty() || !fs::is_regular_file(uart_, ec)) {
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
