// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "board_target.h"

namespace qcli {

namespace {

board_query::Space board_space(debugger::Space space) {
    switch (space) {
        case debugger::Space::code:
            return board_query::Space::code;
        case debugger::Space::xdata:
            return board_query::Space::xdata;
        case debugger::Space::idata:
            return board_query::Space::idata;
        case debugger::Space::sfr:
            break;
    }
    return board_query::Space::sfr;
}

}  // namespace

bool BoardTarget::read(debugger::Space space, unsigned address, std::span<std::uint8_t> bytes) {
    return cpu_.read(board_space(space), address, bytes);
}

bool BoardTarget::write(debugger::Space space, unsigned address,
                        std::span<const std::uint8_t> bytes) {
    return cpu_.write(board_space(space), address, bytes);
}

bool BoardTarget::set_watch(debugger::Space space, unsigned address, debugger::Access access) {
    return cpu_.watch(board_space(space), address, access == debugger::Access::read ? 'r' : 'w');
}

bool BoardTarget::clear_watch(debugger::Space space, unsigned address, debugger::Access access) {
    return cpu_.unwatch(board_space(space), address, access == debugger::Access::read ? 'r' : 'w');
}

std::optional<debugger::Target::Watched> BoardTarget::watched() {
    const auto watched = cpu_.watched();
    if (!watched) {
        return std::nullopt;
    }
    const debugger::Space space =
        watched->space == board_query::Space::code    ? debugger::Space::code
        : watched->space == board_query::Space::xdata ? debugger::Space::xdata
        : watched->space == board_query::Space::idata ? debugger::Space::idata
                                                      : debugger::Space::sfr;
    return Watched{space, watched->address,
                   watched->access == 'r' ? debugger::Access::read : debugger::Access::write};
}

std::vector<debugger::Instruction> BoardTarget::disassemble(unsigned address, unsigned count) {
    std::vector<debugger::Instruction> found;
    for (auto& instruction : cpu_.disassemble(address, count)) {
        found.push_back(
            {instruction.address, std::move(instruction.bytes), std::move(instruction.text)});
    }
    return found;
}

debugger::TargetState BoardTarget::state() {
    const board_query::RunState run = cpu_.state();
    debugger::TargetState state;
    using K = debugger::TargetState::Kind;
    state.pc = run.pc;
    state.cycles = run.cycles;
    state.result = run.result;
    state.text = run.text;
    switch (run.end) {
        case SIMBOARD_EXITED:
            state.kind = K::exited;
            break;
        case SIMBOARD_BUDGET:
            state.kind = K::budget;
            break;
        case SIMBOARD_HELD:
        case SIMBOARD_UART_TEXT:  // a debugged run awaits no text
            state.kind = K::held;
            break;
        case SIMBOARD_FAILED:
            state.kind = K::failed;
            break;
        case SIMBOARD_NOT_ENDED:
            state.kind = run.paused ? K::paused : run.running ? K::running : K::failed;
            if (state.kind == K::failed && state.text.empty()) {
                state.text = "the 8051 does not run";
            }
            break;
    }
    return state;
}

}  // namespace qcli
