// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "s51_session.h"

#include <stdlib.h>

#include "s51_answers.h"

namespace sim {

TempFolder::TempFolder() {
    std::error_code ec;
    const auto preferred = std::filesystem::temp_directory_path(ec);
    // TMPDIR may name a folder that does not exist: /tmp then serves.
    for (const std::filesystem::path& base :
         {ec ? std::filesystem::path("/tmp") : preferred, std::filesystem::path("/tmp")}) {
        std::string pattern = (base / "quillon-s51-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
            return;
        }
    }
}

TempFolder::~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) {
        std::filesystem::remove_all(path_, ec);
    }
}

void S51Session::note_snapshot(std::string_view text) {
    const auto dumps = dumps_in(text);
    const auto counted = clocks_in(text);
    std::array<std::uint8_t, 0x100> sfr_now{};
    have_snapshot = counted && dumps.size() >= 2 &&
                    store_dump(dumps[dumps.size() - 2], iram.size(), iram) &&
                    store_dump(dumps.back(), 0x80, sfr_now);
    if (have_snapshot) {
        clocks = *counted;
        std::copy(sfr_now.begin() + 0x80, sfr_now.end(), sfr.begin() + 0x80);
    }
}

void S51Session::ran_on() {
    have_snapshot = false;
    known_pages.reset();
}

std::string S51Session::marker_command() {
    ++exchanges_;
    return "expression " + std::to_string(7'340'032 + exchanges_);
}

namespace {

// Whether an answer starts at `at`: after a prompt or a line end, and past
// the terminal resets the simulator prints when a script it ran ends
// ("\33[?9l\33[0;0'z\33[!p"). The echo of the command has the number after
// a blank.
bool answer_starts(const std::string& got, std::size_t at) {
    while (at > 0) {
        const char before = got[at - 1];
        if (before == '\0' || before == '\n') {
            return true;
        }
        const std::size_t escape = got.rfind('\33', at - 1);
        // An escape sequence: ESC, '[', parameters and a final byte.
        if (escape == std::string::npos || escape + 2 >= at || got[escape + 1] != '[' ||
            before < 0x40 || before > 0x7E) {
            return false;
        }
        at = escape;
    }
    return false;
}

}  // namespace

std::function<std::size_t(const std::string&)> S51Session::marker_end() const {
    const std::string line = std::to_string(7'340'032 + exchanges_) + "\n";
    return [line](const std::string& got) {
        for (std::size_t at = got.find(line); at != std::string::npos;
             at = got.find(line, at + 1)) {
            if (answer_starts(got, at)) {
                const std::size_t prompt = got.find('\0', at + line.size());
                return prompt != std::string::npos ? prompt + 1 : prompt;
            }
        }
        return std::string::npos;
    };
}

}  // namespace sim
