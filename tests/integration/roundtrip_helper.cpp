// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// One board operation through libvandrel and the port-access layer, run as its
// own process so that each run reads the layer's environment afresh.
//   roundtrip_helper upload <image>        read_file, then write_ram
//   roundtrip_helper download <n> <image>  read_ram n, then the buffer into <image>
//   roundtrip_helper name                  prints the back end for 0x378
//   roundtrip_helper killed <n>            read_ram n, then ends by SIGTERM, whose
//                                          handler flushes the trace as a program's would
//   roundtrip_helper setup                 prints dlportio_setup's kind and text for 0x378
//   roundtrip_helper path <what>           sets 0x378 up, prints what the simulated board
//                                          serving it tells of its file <what>, "(null)"
//                                          for NULL
//   roundtrip_helper path-first <what>     dlportio_path(<what>) before any port access
//   roundtrip_helper loads                 sets 0x378 up, prints whether the simulated
//                                          board's library is loaded: yes or no
// A first argument --quiet calls dlportio_quiet(1) before anything else;
// --delay D (after it) sets the library's delay.
// Exits 0 when the library reported success.
#include <dlfcn.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <iterator>
#include <string>

#include "dlportio.h"
#include "simboard.h"
#include "vandrel.h"

namespace {
void flush_then_end(int signal) {
    dlportio_trace_flush();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--quiet") == 0) {
        dlportio_quiet(1);
        --argc;
        ++argv;
    }
    if (argc > 2 && std::strcmp(argv[1], "--delay") == 0) {
        set_delay(static_cast<std::uint8_t>(std::atoi(argv[2])));
        argc -= 2;
        argv += 2;
    }
    if (argc == 3 && std::strcmp(argv[1], "upload") == 0) {
        const std::uint16_t loaded = read_file(argv[2]);
        if (loaded == 0) {
            std::fprintf(stderr, "helper: %s\n", get_LastError());
            return 2;
        }
        return write_ram() == loaded ? 0 : 1;
    }
    if (argc == 4 && std::strcmp(argv[1], "download") == 0) {
        const auto size = static_cast<std::uint16_t>(std::atoi(argv[2]));
        if (read_ram(size) != size) {
            return 1;
        }
        std::ofstream(argv[3], std::ios::binary)
            .write(reinterpret_cast<const char*>(getBuffer()), get_bufsize());
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "name") == 0) {
        std::printf("%s\n", dlportio_backend_name(0x378));
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "killed") == 0) {
        std::signal(SIGTERM, flush_then_end);
        read_ram(static_cast<std::uint16_t>(std::atoi(argv[2])));
        std::raise(SIGTERM);
        return 3;
    }
    if (argc == 2 && std::strcmp(argv[1], "setup") == 0) {
        const char* text = nullptr;
        const int kind = dlportio_setup(0x378, &text);
        std::printf("%d %s\n", kind, text);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "path") == 0) {
        dlportio_quiet(1);
        auto* board = static_cast<simboard*>(dlportio_simulated_board(0x378));
        void* library = ::dlopen(SIMBOARD_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
        const auto path_of =
            library != nullptr
                ? reinterpret_cast<decltype(&simboard_path)>(::dlsym(library, "simboard_path"))
                : nullptr;
        const char* path =
            board != nullptr && path_of != nullptr ? path_of(board, argv[2]) : nullptr;
        if (path != nullptr && std::strcmp(path, dlportio_path(argv[2])) != 0) {
            std::fprintf(stderr, "helper: the layer and the board name different files\n");
            return 1;
        }
        std::printf("%s\n", path != nullptr ? path : "(null)");
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "path-first") == 0) {
        // As an older caller asks: before any port has been touched.
        dlportio_quiet(1);
        const char* path = dlportio_path(argv[2]);
        std::printf("%s\n", path != nullptr ? path : "(null)");
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "loads") == 0) {
        dlportio_quiet(1);
        dlportio_setup(0x378, nullptr);
        std::ifstream maps("/proc/self/maps");
        const std::string text{std::istreambuf_iterator<char>(maps), {}};
        std::printf("%s\n", text.find(SIMBOARD_LIBRARY) != std::string::npos ? "yes" : "no");
        return 0;
    }
    std::fprintf(stderr, "helper: unknown command\n");
    return 2;
}
