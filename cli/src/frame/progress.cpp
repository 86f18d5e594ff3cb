// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The progress line on a terminal, drawn from the library's callback.
#include "progress.h"

#include <unistd.h>
#include <vandrel.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>

namespace qcli {
namespace {

constexpr int kBarWidth = 20;

struct ProgressState {
    std::string label = "transfer";
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

ProgressState& state() {
    static ProgressState s;
    return s;
}

void on_progress(std::uint16_t position, std::uint16_t total) {
    const auto elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - state().start).count();
    const std::string line = progress_line(state().label, position, total, elapsed);
    std::fprintf(stderr, "\r%s%s", line.c_str(), position >= total ? "\n" : "");
    std::fflush(stderr);
}

}  // namespace

std::string progress_line(std::string_view label, std::uint16_t position, std::uint16_t total,
                          double elapsed_seconds) {
    const unsigned percent = total == 0 ? 0 : std::min(100u, position * 100u / total);
    const int filled = static_cast<int>(percent * kBarWidth / 100);
    std::array<char, 160> text{};
    std::snprintf(text.data(), text.size(), "%-8.*s %3u%% [%.*s%*s] %u/%u bytes  %.1f s",
                  static_cast<int>(std::min<std::size_t>(label.size(), 8)), label.data(), percent,
                  filled, "####################", kBarWidth - filled, "", unsigned{position},
                  unsigned{total}, elapsed_seconds);
    return text.data();
}

void progress_install(bool quiet) {
    if (!quiet && isatty(STDERR_FILENO) != 0) {
        setCallback(on_progress);
    } else {
        setCallback(nullptr);
    }
}

void progress_begin(std::string_view label) {
    state().label = std::string(label);
    state().start = std::chrono::steady_clock::now();
}

}  // namespace qcli
