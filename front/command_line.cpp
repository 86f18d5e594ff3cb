// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// --version and --help, answered before the toolkit starts, so neither needs a display.
#include "command_line.h"

#include <posix/standard_streams.h>
#include <vandrel.h>

#include <array>
#include <cstdio>
#include <string_view>

#ifndef QUILLON_VERSION
#define QUILLON_VERSION "unknown"
#endif

namespace {

void print_version() {
    std::printf("quillon %s (libvandrel %s)\n", QUILLON_VERSION, get_version());
}

void print_usage() {
    std::printf(
        "Usage: quillon [--version]\n"
        "A window for moving memory images between this PC and the RAM of a vandrel\n"
        "board on the parallel port; quillon-cli does the same for scripts.\n\n"
        "Options:\n"
        "  -h, --help     this text\n"
        "  -V, --version  program and library versions\n");
}

struct Answer {
    std::string_view name;
    std::string_view short_name;
    void (*print)();
};

constexpr std::array kAnswers{
    Answer{"--help", "-h", print_usage},
    Answer{"--version", "-V", print_version},
};

}  // namespace

std::optional<int> answer_command_line(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        for (const Answer& answer : kAnswers) {
            if (word != answer.name && word != answer.short_name) {
                continue;
            }
            answer.print();
            if (std::fflush(stdout) != 0 || quillon::posix::standard_stream_was_closed(1)) {
                std::fputs("quillon: cannot write to standard output: it is closed\n", stderr);
                return 1;
            }
            return 0;
        }
    }
    return std::nullopt;
}
