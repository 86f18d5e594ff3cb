// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "debug_board.h"

#include <vandrel.h>
#include <vandrel_board.h>

#include <filesystem>

#include "image_file.h"
#include "progress.h"
#include "status_text.h"

namespace qcli {

DebugBoard::~DebugBoard() = default;

std::unique_ptr<DebugBoard> DebugBoard::start(Context& ctx, const DebugSetup& setup,
                                              std::string& error, int& code) {
    std::unique_ptr<DebugBoard> board(new DebugBoard());
    code = kExitFailed;
    board->base_ = set_Port(VANDREL_PORT_QUERY);
    const board_query::FirmwareBoard reached = board_query::firmware_board(board->base_);
    if (!reached.simulated) {
        error =
            "debug works on the simulated board's 8051 only (DLPORTIO_BACKEND=sim "
            "DLPORTIO_SIM_MCU=s51): a real board has no debugger on its port";
        code = kExitUsage;
        return nullptr;
    }
    if (!reached.cpu) {
        error = "no firmware can run: " + reached.why;
        return nullptr;
    }
    const std::string uart_in = setup.uart_in == "-" ? "/dev/stdin" : setup.uart_in;
    if (std::error_code ec; !uart_in.empty() && !std::filesystem::exists(uart_in, ec)) {
        error = "cannot read " + uart_in + ": No such file or directory";
        return nullptr;
    }
    if (const int rc = load_image(ctx, setup.image); rc != kExitOk) {
        error.clear();  // load_image has told why
        code = rc;
        return nullptr;
    }
    const std::uint16_t size = get_bufsize();
    const std::vector<std::uint8_t> image(getBuffer(), getBuffer() + size);
    std::vector<std::filesystem::path> dirs(setup.source_dirs.begin(), setup.source_dirs.end());
    board->program_ = debugger::Program::load(setup.image, image, dirs, error);
    if (!board->program_) {
        return nullptr;
    }
    const std::uint16_t checksum = get_chsum();
    progress_begin("upload");
    if (write_ram() == 0) {
        error = get_LastError();
        return nullptr;
    }
    ctx.info() << write_ram_text(size, checksum) << '\n';
    board->cpu_ = std::make_unique<board_query::SimulatedCpu>(board->base_);
    board->output_ = std::make_unique<board_query::RunOutput>(*board->cpu_);
    board->echo_ = std::make_unique<UartEcho>(*board->output_);
    board->cpu_->plan(setup.cycles, uart_in, true);
    reset();  // the 8051 starts, paused at its reset
    const board_query::RunState state = board->cpu_->state();
    if (!state.paused) {
        error = state.text.empty() ? "the 8051 did not start" : state.text;
        return nullptr;
    }
    board->setup_ = setup;
    board->target_ = std::make_unique<BoardTarget>(*board->cpu_);
    board->engine_ = std::make_unique<debugger::Engine>(*board->program_, *board->target_);
    return board;
}

bool DebugBoard::restart(Context& ctx, std::string& error) {
    // An upload raises the reset line (the 8051 stops and hands the RAM back),
    // writes the image; the reset lets the 8051 start again, paused.
    if (const int rc = load_image(ctx, setup_.image); rc != kExitOk) {
        error = "cannot read " + setup_.image + " again";
        return false;
    }
    progress_begin("upload");
    if (write_ram() == 0) {
        error = get_LastError();
        return false;
    }
    reset();
    const board_query::RunState state = cpu_->state();
    if (!state.paused) {
        error = state.text.empty() ? "the 8051 did not start" : state.text;
        return false;
    }
    return true;
}

int DebugBoard::finish(Context& ctx, bool early_is_failure) {
    if (taken_back_) {
        return kExitOk;
    }
    taken_back_ = true;
    const debugger::Stop stop = engine_->last_stop();
    // A download raises the reset line: the 8051 stops and the RAM is the PC's again.
    progress_begin("download");
    const bool taken = read_ram(1) != 0;
    echo_->copy_new(ctx.out);
    echo_->close_line(ctx.out);
    if (!taken) {
        return ctx.library_failure();
    }
    using R = debugger::Stop::Reason;
    switch (stop.reason) {
        case R::exited:
            return stop.result == 0 ? kExitOk : kExitFirmwareFailed;
        case R::budget:
            return kExitNoOutcome;
        case R::failed:
            return kExitFailed;
        default:
            break;
    }
    if (early_is_failure) {
        ctx.out << "the session ended before the firmware's result\n";
        return kExitNoOutcome;
    }
    return kExitOk;
}

}  // namespace qcli
