// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "s51_commands.h"

#include <simboard.h>

#include <cstdio>

#include "vandrel_sim.h"

namespace sim {

namespace {

// ucsim's names of the spaces, by enum simboard_space.
std::string_view space_name(int space) {
    switch (space) {
        case SIMBOARD_CODE:
            return "rom";
        case SIMBOARD_XDATA:
            return "xram";
        case SIMBOARD_IDATA:
            return "iram";
        case SIMBOARD_SFR:
            return "sfr";
        default:
            return {};
    }
}

std::string hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

}  // namespace

std::vector<std::string> as_lines(std::string_view commands) {
    std::vector<std::string> lines;
    while (!commands.empty()) {
        const std::size_t end = commands.find(';');
        lines.emplace_back(commands.substr(0, end));
        commands = end == std::string_view::npos ? std::string_view{} : commands.substr(end + 1);
    }
    return lines;
}

std::string budget_events(std::uint64_t cycles) {
    // (cycles - 1/2) * 12 / 11059200 s = (2 * cycles - 1) / 1843200 s, and
    // 10^15 / 1843200 = 122070312500 / 225 exactly.
    constexpr std::uint64_t kNumerator = 122070312500;
    constexpr std::uint64_t kDenominator = 225;
    const std::uint64_t halves = 2 * cycles - 1;
    const std::uint64_t at =
        halves / kDenominator * kNumerator + halves % kDenominator * kNumerator / kDenominator;
    return "$timescale 1 fs $end\n$scope module budget $end\n$var wire 1 ! quillon_budget $end\n"
           "$upscope $end\n$enddefinitions $end\n#" +
           std::to_string(at) + "\n1!\n";
}

std::string exec_command(const std::string& file) {
    return "exec \"" + file + "\"";
}

std::vector<std::string> dump_commands(const std::vector<Range>& ranges) {
    std::vector<std::string> lines;
    for (const Range& range : ranges) {
        lines.push_back(dump_command(SIMBOARD_CODE, range.first, range.last - range.first + 1));
    }
    return lines;
}

std::string after_stop_script(const RamLayout& layout) {
    std::string script = "state\ndump /i sfr 0x80 0xff\nhole rom " + std::to_string(kShortestHole) +
                         " " + hex(layout.fill) + "\n";
    for (const std::string& line : dump_commands(layout.kept)) {
        script += line + "\n";
    }
    return script + "expression " + std::string(kStopAnswered) + "\n";
}

std::vector<std::string> run_setup(const RamLayout& layout, const std::string& image,
                                   const std::string& after_stop, const std::string& events,
                                   bool watch_sent) {
    std::vector<std::string> lines{std::string(kMapDataOntoCode)};
    // The simulator's memory starts as 0xFF.
    if (layout.fill != 0xFF) {
        lines.push_back("fill rom 0x0 " + hex(static_cast<unsigned>(kBoardRamSize - 1)) + " " +
                        hex(layout.fill));
    }
    lines.push_back("file \"" + image + "\"");
    lines.push_back("hole rom " + std::to_string(kShortestHole) + " " + hex(layout.fill));
    // The firmware's exit writes its command register; with the simulator's
    // own interface off, that write is a breakpoint like any other.
    lines.push_back("break sfr w " + hex(VANDREL_SIM_COMMAND_SFR));
    lines.push_back("commands " + exec_command(after_stop));
    if (watch_sent) {
        // SBUF reads back what was received: the transmitter tells what was sent.
        lines.push_back("break sfr w " + hex(kSbuf));
        lines.emplace_back("commands info hw uart");
    }
    if (!events.empty()) {
        // The replayed event sets the variable; its write is the budget's end.
        lines.insert(lines.end(), {"var quillon_budget", "set hw vcd[0] input \"" + events + "\"",
                                   "break variables w 0", "commands " + exec_command(after_stop),
                                   "set hw vcd[0] start"});
    }
    return lines;
}

std::vector<std::string> pause_at(unsigned address) {
    return {"break " + hex(address), "commands " + std::string(kSnapshot)};
}

std::string dump_command(int space, unsigned address, unsigned size) {
    const std::string_view name = space_name(space);
    if (name.empty() || size == 0) {
        return {};
    }
    return "dump /i " + std::string(name) + " " + hex(address) + " " + hex(address + size - 1);
}

std::string set_command(int space, unsigned address, std::span<const std::uint8_t> bytes) {
    std::string command = "set memory " + std::string(space_name(space)) + " " + hex(address);
    for (const std::uint8_t byte : bytes) {
        command += " " + hex(byte);
    }
    return command;
}

std::string console_script(const std::vector<std::string>& lines) {
    constexpr std::size_t kConsoleRead = 99;
    std::string script;
    for (const std::string& line : lines) {
        const std::size_t used = script.size() % kConsoleRead;
        if (!script.empty() && used + line.size() + 1 > kConsoleRead &&
            line.size() + 1 <= kConsoleRead) {
            script.insert(script.size() - 1, kConsoleRead - used, ' ');
        }
        script += line + '\n';
    }
    if (!script.empty()) {
        script.pop_back();  // send() ends the last line
    }
    return script;
}

bool plain_path(const std::string& path) {
    return path.find_first_of("\"\\") == std::string::npos;
}

}  // namespace sim
