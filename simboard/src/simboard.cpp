// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The library's C functions, over one SimBoard per opening; the board opened
// last is the one whose 8051 the queries ask about.
#include "simboard.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <exception>
#include <memory>
#include <string>

#include "board_cpu.h"
#include "messages.h"
#include "ram_file.h"
#include "sim_board.h"
#include "sim_fault.h"

struct simboard {
    std::unique_ptr<sim::SimBoard> board;
    sim::BoardCpu* cpu = nullptr;  // owned by the board
    std::string cpu_note;          // why there is no 8051
};

namespace {

simboard* g_current = nullptr;  // the board opened last
sim::RunPlan g_plan;
std::string g_why;
sim::RunReport g_report;

std::string text(const char* value) {
    return value != nullptr ? value : "";
}

std::unique_ptr<simboard> open_board(const simboard_settings& settings) {
    const std::string fault_text = text(settings.fault);
    const auto fault = sim::parse_sim_fault(fault_text);
    if (!fault) {
        g_why = "unknown DLPORTIO_SIM_FAULT '" + fault_text +
                "' (use no-board, stuck-low, flip=N or slow=N)";
        return nullptr;
    }
    const std::string path = text(settings.ram);
    if (path.empty()) {
        g_why = "no place for the simulated board's RAM (set DLPORTIO_SIM_RAM=path)";
        return nullptr;
    }
    std::string error;
    auto file = sim::RamFile::open(path, error);
    if (!file) {
        g_why = "simulated board unavailable: " + error +
                " (set DLPORTIO_SIM_RAM=path to another file)";
        return nullptr;
    }
    auto opened = std::make_unique<simboard>();
    const sim::CpuSettings cpu_settings{text(settings.mcu), text(settings.uart_log),
                                        text(settings.ports_file), text(settings.uart_link)};
    auto cpu = sim::make_board_cpu(cpu_settings, &opened->cpu_note);
    opened->cpu = cpu.get();
    if (opened->cpu != nullptr) {
        opened->cpu->plan(g_plan);
    }
    const sim::BoardRam ram = file->bytes();
    opened->board = std::make_unique<sim::SimBoard>(ram, *fault, std::move(cpu), std::move(file));
    return opened;
}

}  // namespace

extern "C" simboard* simboard_open(const simboard_settings* settings, const char** why) {
    g_why.clear();
    std::unique_ptr<simboard> opened;
    if (settings == nullptr) {
        g_why = "no settings for the simulated board";
    } else {
        sim::set_teller(settings->tell);
        try {
            opened = open_board(*settings);
        } catch (const std::exception& e) {
            g_why = std::string("simulated board unavailable: ") + e.what();
        }
    }
    if (why != nullptr) {
        *why = g_why.c_str();
    }
    g_current = opened ? opened.get() : g_current;
    return opened.release();  // the caller gives it back with simboard_close
}

extern "C" void simboard_close(simboard* board) {
    if (g_current == board) {
        g_current = nullptr;
    }
    const std::unique_ptr<simboard> closed(board);
}

extern "C" void simboard_write_data(simboard* board, unsigned char value) {
    board->board->write_data(value);
}

extern "C" unsigned char simboard_read_status(simboard* board) {
    return board->board->read_status();
}

extern "C" void simboard_pass_time(simboard* board, unsigned long /*ms*/) {
    board->board->pass_time();
}

extern "C" int simboard_cpu(const char** why) {
    const char* note = "no simulated board is open";
    if (g_current != nullptr) {
        if (g_current->cpu != nullptr) {
            return 1;
        }
        note = g_current->cpu_note.c_str();
    }
    if (why != nullptr) {
        *why = note;
    }
    return 0;
}

extern "C" void simboard_plan(unsigned long long cycles, const char* uart_input) {
    g_plan.cycles = cycles;
    g_plan.uart_input = text(uart_input);
    if (g_current != nullptr && g_current->cpu != nullptr) {
        g_current->cpu->plan(g_plan);
    }
}

static_assert(static_cast<int>(sim::RunEnd::exited) == SIMBOARD_EXITED &&
              static_cast<int>(sim::RunEnd::budget) == SIMBOARD_BUDGET &&
              static_cast<int>(sim::RunEnd::held) == SIMBOARD_HELD &&
              static_cast<int>(sim::RunEnd::failed) == SIMBOARD_FAILED);

extern "C" void simboard_wait(unsigned long timeout_ms) {
    if (g_current != nullptr && g_current->cpu != nullptr) {
        g_current->cpu->wait(
            std::chrono::milliseconds(std::min<unsigned long>(timeout_ms, INT_MAX)));
    }
}

extern "C" void simboard_poll(simboard_run* run) {
    g_report = sim::RunReport{};
    if (g_current != nullptr && g_current->cpu != nullptr) {
        g_report = g_current->cpu->poll();
    }
    if (run != nullptr) {
        run->running = g_report.running ? 1 : 0;
        run->end = static_cast<int>(g_report.end);
        run->result = g_report.result;
        run->cycles = g_report.cycles;
        run->wall_seconds = g_report.wall_seconds;
        run->text = g_report.text.c_str();
    }
}
