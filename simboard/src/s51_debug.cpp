// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The debugged 8051's side of S51Cpu: its memory and breakpoints while it is
// paused, and letting it run on. Each exchange is one write and one answer: a
// paused simulator answers as soon as it reads (s51_wake.c). Breakpoints go
// with the next exchange.
#include <simboard.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <regex>

#include "s51_answers.h"
#include "s51_commands.h"
#include "s51_cpu.h"
#include "s51_session.h"

namespace sim {

namespace {

// ucsim takes a console line of at most 99 bytes: "set memory xram 0x1000" and
// this many bytes of " 0xAB" stay below.
constexpr std::size_t kBytesPerSet = 15;
// Measured: writes above about 1.1 KB reach the simulator's reads cut at
// other places than its 99-byte steps, and it splits or drops lines there.
// Ten steps' worth is safe, with room for the closing marker.
constexpr std::size_t kLargestWrite = 990;
constexpr std::size_t kMarkerRoom = 40;
// Measured: s51 4.2.0 corrupts its heap and aborts with more than about 8190
// breakpoints. Kept ones stop below this, and those of one run fill the rest.
constexpr std::size_t kMostBreakpoints = 8000;
constexpr std::size_t kMostKept = 7000;

// "delete 1 2 3" lines, each short enough for one console read.
void add_deletes(const std::vector<int>& numbers, std::vector<std::string>& lines) {
    constexpr std::size_t kLongest = 90;
    std::string line;
    for (const int number : numbers) {
        const std::string more = " " + std::to_string(number);
        if (!line.empty() && line.size() + more.size() > kLongest) {
            lines.push_back(std::move(line));
            line.clear();
        }
        if (line.empty()) {
            line = "delete";
        }
        line += more;
    }
    if (!line.empty()) {
        lines.push_back(std::move(line));
    }
}

// The breakpoints the answer tells of, by address: "Breakpoint 3 at 0x0000ba".
// One asked for where there was one already has no number of its own.
std::map<unsigned, int> breakpoints_by_address(const std::string& text) {
    static const std::regex set(R"(Breakpoint (\d+) at 0x([0-9a-fA-F]+))");
    std::map<unsigned, int> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), set);
         it != std::sregex_iterator(); ++it) {
        found[static_cast<unsigned>(std::stoul((*it)[2].str(), nullptr, 16))] =
            std::stoi((*it)[1].str());
    }
    return found;
}

}  // namespace

// The breakpoints cleared and asked for since the last exchange, as the lines
// that open the next one.
std::vector<std::string> S51Cpu::break_changes() {
    S51Session& session = *session_;
    std::vector<int> gone = std::move(session.once);
    session.once.clear();
    gone.insert(gone.end(), session.to_delete.begin(), session.to_delete.end());
    session.to_delete.clear();
    std::vector<std::string> lines;
    add_deletes(gone, lines);
    // Without the snapshot attached: a fifth of the bytes, and the stop asks
    // for its look at the 8051 itself.
    for (const unsigned address : session.to_set) {
        lines.push_back(pause_at(address).front());
    }
    return lines;
}

// Takes the numbers of the breakpoints asked for from the answer that set
// them; the rest of `said` are those of this run only.
std::vector<int> S51Cpu::note_breaks(const std::string& said) {
    S51Session& session = *session_;
    auto numbers = breakpoints_by_address(said);
    for (const unsigned address : session.to_set) {
        if (const auto found = numbers.find(address); found != numbers.end()) {
            session.breaks[address] = found->second;
            numbers.erase(found);
        }
    }
    session.to_set.clear();
    std::vector<int> rest;
    for (const auto& [address, number] : numbers) {
        rest.push_back(number);
    }
    return rest;
}

// The simulator takes a long write in pieces of its own and may cut a line
// there: a long exchange goes in writes it takes whole, each answered before
// the next.
std::optional<std::string> S51Cpu::converse(
    std::vector<std::string> lines,
    const std::function<std::size_t(const std::string&)>& complete) {
    S51Session& session = *session_;
    auto& console = session.console;
    console.take_pending();  // anything from before belongs to no question of ours
    std::string said;
    std::vector<std::string> piece;
    std::size_t size = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        piece.push_back(lines[i]);
        size += lines[i].size() + 1;
        const bool last = i + 1 == lines.size();
        if (!last && size + lines[i + 1].size() + 1 + kMarkerRoom <= kLargestWrite) {
            continue;
        }
        if (!last) {
            piece.push_back(session.marker_command());
        }
        if (!console.send(console_script(piece))) {
            return std::nullopt;
        }
        const auto answer =
            console.read(settings_.answer_time, last ? complete : session.marker_end());
        if (!answer) {
            return std::nullopt;
        }
        said += *answer;
        piece.clear();
        size = 0;
    }
    return said;
}

std::optional<std::string> S51Cpu::ask(std::vector<std::string> lines, std::string_view ending) {
    if (!session_ || !session_->paused) {
        return std::nullopt;
    }
    S51Session& session = *session_;
    const bool breaks_changed = !session.to_set.empty();
    auto changes = break_changes();
    lines.insert(lines.begin(), changes.begin(), changes.end());
    lines.push_back(session.marker_command());
    auto said = converse(std::move(lines), session.marker_end());
    if (said && breaks_changed) {
        note_breaks(*said);
    }
    if (said && !ending.empty() && said->find(ending) == std::string::npos) {
        return std::nullopt;
    }
    if (!said) {
        report_.text = "the simulator did not answer";
    }
    return said;
}

bool S51Cpu::read(int space, unsigned address, std::span<std::uint8_t> bytes) {
    if (!session_ || !session_->paused) {
        return false;
    }
    S51Session& session = *session_;
    const std::size_t end = address + bytes.size();
    if (space == SIMBOARD_IDATA || space == SIMBOARD_SFR) {
        const bool idata = space == SIMBOARD_IDATA;
        if ((idata && end > session.iram.size()) || (!idata && (address < 0x80 || end > 0x100))) {
            return false;
        }
        if (!session.have_snapshot) {
            const auto said = ask(as_lines(kSnapshot));
            if (!said) {
                return false;
            }
            session.note_snapshot(*said);
            if (!session.have_snapshot) {
                return false;
            }
        }
        const auto* from = idata ? session.iram.data() : session.sfr.data();
        std::copy(from + address, from + end, bytes.begin());
        return true;
    }
    if ((space != SIMBOARD_CODE && space != SIMBOARD_XDATA) || end > kBoardRamSize) {
        return false;
    }
    if (bytes.empty()) {
        return true;
    }
    // Only the pages read, each once while paused: the simulator prints a
    // dump a byte or two per write, some 2 ms per KB.
    constexpr unsigned kPage = S51Session::kPageSize;
    std::vector<std::pair<unsigned, unsigned>> runs;  // first page, pages
    for (unsigned page = address / kPage; page <= (end - 1) / kPage; ++page) {
        if (session.known_pages.test(page)) {
            continue;
        }
        if (!runs.empty() && runs.back().first + runs.back().second == page) {
            ++runs.back().second;
        } else {
            runs.emplace_back(page, 1);
        }
    }
    if (!runs.empty()) {
        std::vector<std::string> lines;
        for (const auto& [page, pages] : runs) {
            lines.push_back(dump_command(SIMBOARD_CODE, page * kPage, pages * kPage));
        }
        const auto said = ask(lines);
        const auto dumps = said ? dumps_in(*said) : std::vector<std::string_view>{};
        if (dumps.size() < runs.size()) {
            return false;
        }
        // The answers to this exchange's dumps are its last ones.
        const std::size_t first = dumps.size() - runs.size();
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const auto [page, pages] = runs[i];
            if (!store_dump(dumps[first + i], pages * kPage, session.memory)) {
                return false;
            }
            for (unsigned known = page; known < page + pages; ++known) {
                session.known_pages.set(known);
            }
        }
    }
    std::copy(session.memory.begin() + address, session.memory.begin() + end, bytes.begin());
    return true;
}

bool S51Cpu::write(int space, unsigned address, std::span<const std::uint8_t> bytes) {
    if (!session_ || !session_->paused || bytes.empty()) {
        return false;
    }
    S51Session& session = *session_;
    const std::size_t end = address + bytes.size();
    const bool memory = space == SIMBOARD_CODE || space == SIMBOARD_XDATA;
    if ((memory && end > kBoardRamSize) || (space == SIMBOARD_IDATA && end > 0x80) ||
        (space == SIMBOARD_SFR && (address < 0x80 || end > 0x100)) ||
        (!memory && space != SIMBOARD_IDATA && space != SIMBOARD_SFR)) {
        return false;
    }
    std::vector<std::string> lines;
    for (std::size_t done = 0; done < bytes.size(); done += kBytesPerSet) {
        lines.push_back(set_command(
            space == SIMBOARD_CODE ? SIMBOARD_XDATA : space, static_cast<unsigned>(address + done),
            bytes.subspan(done, std::min(kBytesPerSet, bytes.size() - done))));
    }
    if (!ask(lines)) {
        return false;
    }
    // What is known stays true: the same bytes go where they were written.
    if (memory) {
        std::copy(bytes.begin(), bytes.end(), session.memory.begin() + address);
    } else if (space == SIMBOARD_IDATA) {
        std::copy(bytes.begin(), bytes.end(), session.iram.begin() + address);
    } else if (space == SIMBOARD_SFR) {
        std::copy(bytes.begin(), bytes.end(), session.sfr.begin() + address);
    }
    return true;
}

bool S51Cpu::set_break(unsigned address) {
    if (!session_ || !session_->paused || address >= kBoardRamSize) {
        return false;
    }
    S51Session& session = *session_;
    if (session.breaks.contains(address) || session.to_set.contains(address)) {
        return true;
    }
    if (session.breaks.size() + session.to_set.size() >= kMostKept) {
        return false;
    }
    session.to_set.insert(address);
    return true;
}

bool S51Cpu::clear_break(unsigned address) {
    if (!session_ || !session_->paused) {
        return false;
    }
    S51Session& session = *session_;
    session.to_set.erase(address);
    if (const auto found = session.breaks.find(address); found != session.breaks.end()) {
        session.to_delete.push_back(found->second);
        session.breaks.erase(found);
    }
    return true;
}

bool S51Cpu::resume(std::span<const unsigned> once) {
    if (!session_ || !session_->paused) {
        return false;
    }
    S51Session& session = *session_;
    std::vector<std::string> lines = break_changes();
    std::vector<unsigned> addresses(once.begin(), once.end());
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    std::size_t in_simulator = session.breaks.size() + session.to_set.size();
    for (const unsigned address : addresses) {
        // Without the snapshot of kept breakpoints: the shorter the write,
        // the sooner it runs; a look at the 8051 is asked for when needed.
        if (address < kBoardRamSize && !session.breaks.contains(address) &&
            !session.to_set.contains(address) && in_simulator < kMostBreakpoints) {
            lines.push_back(pause_at(address).front());
            ++in_simulator;
        }
    }
    lines.emplace_back("run");
    const auto said = converse(std::move(lines), [](const std::string& got) {
        const std::size_t at = got.find("Simulation started");
        return at != std::string::npos ? at + 18 : std::string::npos;
    });
    if (!said) {
        report_.text = "the simulator did not run on";
        return false;
    }
    session.once = note_breaks(*said);
    session.paused = false;
    session.ran_on();
    session.printed.clear();
    report_.paused = false;
    report_.running = true;
    return true;
}

void S51Cpu::pause() {
    if (!session_ || session_->paused || session_->stopped || session_->pause_asked) {
        return;
    }
    // Two, as a running simulator drops the line it stops for.
    session_->pause_asked = session_->console.send("stop\nstop");
}

}  // namespace sim
