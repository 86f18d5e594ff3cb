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

bool is_hex_byte(std::string_view word) {
    return word.size() == 2 && std::isxdigit(static_cast<unsigned char>(word[0])) != 0 &&
           std::isxdigit(static_cast<unsigned char>(word[1])) != 0;
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
    // "0x0059  ? f0       MOVX   @DPTR,A\033[0K": the address, marks, the bytes, the text.
    std::istringstream in(*said);
    for (std::string line; std::getline(in, line) && lines.size() < count;) {
        line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
        if (const std::size_t escape = line.find('\033'); escape != std::string::npos) {
            line.erase(escape);
        }
        const std::size_t nul = line.rfind('\0');
        if (nul != std::string::npos) {
            line.erase(0, nul + 1);
        }
        if (!line.starts_with("0x")) {
            continue;
        }
        std::istringstream words(line);
        std::string word;
        words >> word;
        const unsigned at = static_cast<unsigned>(std::stoul(word, nullptr, 16));
        std::string bytes;
        std::streampos text_at = words.tellg();
        bool any = false;
        while (words >> word) {
            if (is_hex_byte(word)) {
                bytes += " " + word;
                any = true;
                text_at = words.tellg();
            } else if (any) {
                break;
            }
        }
        if (!any) {
            continue;  // a label line: "0x0000    <.reset>:"
        }
        std::string text = line.substr(static_cast<std::size_t>(text_at));
        text.erase(0, text.find_first_not_of(' '));
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
        if (at < address) {
            continue;
        }
        char head[8];
        std::snprintf(head, sizeof head, "%x", at);
        lines.push_back(head + bytes + "\t" + text);
    }
    return lines;
}

}  // namespace sim
