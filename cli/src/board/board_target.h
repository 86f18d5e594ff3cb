/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The simulated board's 8051 behind a port as the debugger's target.
#pragma once

#include <debug_target.h>
#include <firmware_run.h>

namespace qcli {

class BoardTarget final : public debugger::Target {
public:
    explicit BoardTarget(board_query::SimulatedCpu& cpu) : cpu_(cpu) {}

    bool read(debugger::Space space, unsigned address, std::span<std::uint8_t> bytes) override;
    bool write(debugger::Space space, unsigned address,
               std::span<const std::uint8_t> bytes) override;
    bool set_break(unsigned address) override { return cpu_.set_break(address); }
    bool clear_break(unsigned address) override { return cpu_.clear_break(address); }
    bool resume(std::span<const unsigned> once) override { return cpu_.resume(once); }
    void pause() override { cpu_.pause(); }
    debugger::TargetState state() override;
    void wait(std::chrono::milliseconds most) override { cpu_.wait(most); }
    bool set_watch(debugger::Space space, unsigned address, debugger::Access access) override;
    bool clear_watch(debugger::Space space, unsigned address, debugger::Access access) override;
    std::optional<Watched> watched() override;
    std::vector<debugger::Instruction> disassemble(unsigned address, unsigned count) override;

private:
    board_query::SimulatedCpu& cpu_;
};

}  // namespace qcli
