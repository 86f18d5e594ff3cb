// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The debugged 8051's watches and disassembly: ucsim's event breakpoints on a
// byte's reads or writes, which pause it like a breakpoint, and its `dc`
// disassembler's lines in a form of our own.
#include <simboard.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <sstream>

#include "s51_answers.h"
#include "s51_commands.h"
#include "s51_cpu.h"
#include "s51_session.h"

namespace sim {

namespace {

std::string hex_of(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

const char* event_space(int space) {
    switch (space) {
        case SIMBOARD_XDATA:
            return "xram";
        case SIMBOARD_IDATA:
            return "iram";
        case SIMBOARD_CODE:
            return "rom";
        default:
            return nullptr;
    }
}

}  // namespace

bool S51Cpu::watch(int space, unsigned address, char access) {
    const char* name = event_space(space);
    if (!session_ || !session_->paused || name == nullptr || (access != 'r' && access != 'w') ||
        address > 0xFFFF || (space == SIMBOARD_IDATA && address > 0xFF)) {
        return false;
    }
    S51Session& session = *session_;
    const std::tuple<int, unsigned, char> key{space, address, access};
    if (session.watches.contains(key)) {
        return true;
    }
    // An event breakpoint is set without a word: its number is read from the list.
    const auto said = ask({"break " + std::string(name) + " " + access + " " + hex_of(address),
                           "commands " + std::string(kSnapshot), "info breakpoints"});
    if (!said) {
        return false;
    }
    static const std::regex listed(
        R"((\d+)\s+event\s+\w+\s+\d+\s+\d+\s+0x([0-9a-fA-F]+)\s+(read|write))");
    int number = 0;
    for (auto it = std::sregex_iterator(said->begin(), said->end(), listed);
         it != std::sregex_iterator(); ++it) {
        const int n = std::stoi((*it)[1].str());
        const bool taken =
            std::ranges::any_of(session.watches, [n](const auto& w) { return w.second == n; });
        if (!taken && std::stoul((*it)[2].str(), nullptr, 16) == address &&
            (*it)[3].str()[0] == access) {
            number = std::max(number, n);
        }
    }
    if (number == 0) {
        return false;
    }
    session.watches[key] = number;
    return true;
}

bool S51Cpu::unwatch(int space, unsigned address, char access) {
    if (!session_ || !session_->paused) {
        return false;
    }
    S51Session& session = *session_;
    const auto found = session.watches.find({space, address, access});
    if (found == session.watches.end()) {
        return true;
    }
    if (!ask({"delete " + std::to_string(found->second)})) {
        return false;
    }
    session.watches.erase(found);
    return true;
}

std::optional<BoardCpu::Watched> S51Cpu::watched() const {
    if (!session_ || !session_->paused || !session_->watched) {
        return std::nullopt;
    }
    const auto& [space, address, access] = *session_->watched;
    return Watched{space, address, access};
}

std::vector<std::string> S51Cpu::disassemble(unsigned address, unsigned count) {
    std::vector<std::string> lines;
    if (!session_ || !session_->paused || count == 0 || address >= kBoardRamSize) {
        return lines;
    }
    // An 8051 instruction takes three bytes at most.
    const unsigned last = std::min<unsigned>(address + 3 * count, kBoardRamSize - 1);
    const auto said = ask({"dc " + hex_of(address) + " " + hex_of(last)});
    if (!said) {
        return lines;
    }
    std::istringstream in(*said);
    for (std::string line; std::getline(in, line) && lines.size() < count;) {
        if (auto instruction = disassembly_line(line); instruction) {
            if (std::stoul(instruction->substr(0, instruction->find(' ')), nullptr, 16) >=
                address) {
                lines.push_back(std::move(*instruction));
            }
        }
    }
    return lines;
}

}  // namespace sim
