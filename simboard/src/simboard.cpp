// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The library's C functions, each over the one board it is given.
#include "simboard.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <exception>
#include <memory>
#include <span>
#include <string>

#include "board_cpu.h"
#include "board_settings.h"
#include "messages.h"
#include "ram_file.h"
#include "sim_board.h"
#include "sim_fault.h"

struct simboard {
    sim::BoardSettings settings;
    std::string description;
    std::unique_ptr<sim::SimBoard> board;
    sim::BoardCpu* cpu = nullptr;  // owned by the board
    std::string cpu_note;          // why there is no 8051
    sim::RunReport report;         // the last one polled, whose text a caller holds
};

namespace {

std::string g_why;  // why the last opening failed

std::unique_ptr<simboard> open_board() {
    auto opened = std::make_unique<simboard>();
    opened->settings = sim::settings_from_environment();
    const sim::BoardSettings& settings = opened->settings;
    const auto fault = sim::parse_sim_fault(settings.fault);
    if (!fault) {
        g_why = "unknown DLPORTIO_SIM_FAULT '" + settings.fault +
                "' (use no-board, stuck-low, flip=N or slow=N)";
        return nullptr;
    }
    if (settings.ram.empty()) {
        g_why = "no place for the simulated board's RAM (set DLPORTIO_SIM_RAM=path)";
        return nullptr;
    }
    std::string error;
    auto file = sim::RamFile::open(settings.ram, error);
    if (!file) {
        g_why = "simulated board unavailable: " + error +
                " (set DLPORTIO_SIM_RAM=path to another file)";
        return nullptr;
    }
    opened->description = "sim (RAM " + settings.ram;
    if (!settings.fault.empty() && settings.fault != "none") {
        opened->description += ", fault " + settings.fault;
    }
    opened->description += ")";
    const sim::CpuSettings cpu_settings{settings.mcu, settings.uart_log, settings.ports_file,
                                        settings.uart_link};
    auto cpu = sim::make_board_cpu(cpu_settings, &opened->cpu_note);
    opened->cpu = cpu.get();
    const sim::BoardRam ram = file->bytes();
    opened->board = std::make_unique<sim::SimBoard>(ram, *fault, std::move(cpu), std::move(file));
    return opened;
}

}  // namespace

extern "C" simboard* simboard_open(void (*tell)(const char* line), const char** why) {
    g_why.clear();
    std::unique_ptr<simboard> opened;
    sim::set_teller(tell);
    try {
        opened = open_board();
    } catch (const std::exception& e) {
        g_why = std::string("simulated board unavailable: ") + e.what();
    }
    if (why != nullptr) {
        *why = g_why.c_str();
    }
    return opened.release();  // the caller gives it back with simboard_close
}

extern "C" void simboard_close(simboard* board) {
    const std::unique_ptr<simboard> closed(board);
}

extern "C" void simboard_write_data(simboard* board, unsigned char value) {
    board->board->write_data(value);
}

extern "C" unsigned char simboard_read_status(simboard* board) {
    return board->board->read_status();
}

extern "C" void simboard_pass_time(simboard* board) {
    board->board->pass_time();
}

extern "C" const char* simboard_describe(simboard* board) {
    return board->description.c_str();
}

extern "C" const char* simboard_path(simboard* board, const char* what) {
    if (what == nullptr) {
        return nullptr;
    }
    const std::string_view name = what;
    const sim::BoardSettings& settings = board->settings;
    return name == "ram"     ? settings.ram.c_str()
           : name == "uart"  ? settings.uart_log.c_str()
           : name == "ports" ? settings.ports_file.c_str()
                             : nullptr;
}

extern "C" int simboard_cpu(simboard* board, const char** why) {
    if (board->cpu != nullptr) {
        return 1;
    }
    if (why != nullptr) {
        *why = board->cpu_note.c_str();
    }
    return 0;
}

extern "C" void simboard_plan(simboard* board, const simboard_run_plan* plan) {
    if (board->cpu != nullptr && plan != nullptr) {
        const auto text = [](const char* given) { return given != nullptr ? given : ""; };
        board->cpu->plan(sim::RunPlan{plan->cycles, text(plan->uart_input), plan->debug != 0,
                                      text(plan->until_uart), text(plan->fail_uart)});
    }
}

extern "C" void simboard_wait(simboard* board, unsigned long timeout_ms) {
    if (board->cpu != nullptr) {
        board->cpu->wait(std::chrono::milliseconds(std::min<unsigned long>(timeout_ms, INT_MAX)));
    }
}

extern "C" void simboard_poll(simboard* board, simboard_run* run) {
    board->report = board->cpu != nullptr ? board->cpu->poll() : sim::RunReport{};
    const sim::RunReport& report = board->report;
    if (run != nullptr) {
        run->running = report.running ? 1 : 0;
        run->paused = report.paused ? 1 : 0;
        run->end = report.end;
        run->result = report.result;
        run->cycles = report.cycles;
        run->pc = report.pc;
        run->wall_seconds = report.wall_seconds;
        run->text = report.text.c_str();
        run->uart_text = report.uart_text;
    }
}

extern "C" int simboard_read(simboard* board, int space, unsigned address, unsigned char* bytes,
                             unsigned size) {
    return board->cpu != nullptr && bytes != nullptr &&
                   board->cpu->read(space, address, std::span(bytes, size))
               ? 1
               : 0;
}

extern "C" int simboard_write(simboard* board, int space, unsigned address,
                              const unsigned char* bytes, unsigned size) {
    return board->cpu != nullptr && bytes != nullptr &&
                   board->cpu->write(space, address, std::span(bytes, size))
               ? 1
               : 0;
}

extern "C" int simboard_break(simboard* board, unsigned address) {
    return board->cpu != nullptr && board->cpu->set_break(address) ? 1 : 0;
}

extern "C" int simboard_clear(simboard* board, unsigned address) {
    return board->cpu != nullptr && board->cpu->clear_break(address) ? 1 : 0;
}

extern "C" int simboard_resume(simboard* board, const unsigned* once, unsigned count) {
    if (board->cpu == nullptr || (once == nullptr && count > 0)) {
        return 0;
    }
    return board->cpu->resume(std::span(once, count)) ? 1 : 0;
}

extern "C" int simboard_watch(simboard* board, int space, unsigned address, int access) {
    return board->cpu != nullptr && board->cpu->watch(space, address, static_cast<char>(access))
               ? 1
               : 0;
}

extern "C" int simboard_unwatch(simboard* board, int space, unsigned address, int access) {
    return board->cpu != nullptr && board->cpu->unwatch(space, address, static_cast<char>(access))
               ? 1
               : 0;
}

extern "C" int simboard_watched(simboard* board, int* space, unsigned* address, int* access) {
    const auto watched = board->cpu != nullptr ? board->cpu->watched() : std::nullopt;
    if (!watched || space == nullptr || address == nullptr || access == nullptr) {
        return 0;
    }
    *space = watched->space;
    *address = watched->address;
    *access = watched->access;
    return 1;
}

extern "C" unsigned simboard_disassemble(simboard* board, unsigned address, unsigned count,
                                         char* text, unsigned size) {
    if (board->cpu == nullptr || text == nullptr || size == 0) {
        return 0;
    }
    const std::vector<std::string> lines = board->cpu->disassemble(address, count);
    std::string all;
    for (const std::string& line : lines) {
        all += line + "\n";
    }
    const std::size_t kept = std::min<std::size_t>(all.size(), size - 1);
    std::copy_n(all.data(), kept, text);
    text[kept] = '\0';
    return static_cast<unsigned>(lines.size());
}

extern "C" void simboard_pause(simboard* board) {
    if (board->cpu != nullptr) {
        board->cpu->pause();
    }
}
