// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// quillon-cli's main: standard streams kept open, the trace written out on SIGINT and SIGTERM.
#include <board_query.h>
#include <posix/standard_streams.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"
#include "command.h"

namespace {

// Ctrl+C or kill: the trace of port accesses is written out as far as it went,
// then the signal ends the program as it would have.
void flush_then_end(int signal) {
    board_query::flush_trace();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

int main(int argc, char** argv) {
    quillon::posix::keep_standard_streams_open();
    // Line by line also into a pipe: a long calibrate or transfer shows its
    // progress as it goes.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    for (const int signal : {SIGINT, SIGTERM}) {
        // A signal the shell told us to ignore (nohup, a background job) stays ignored.
        if (std::signal(signal, flush_then_end) == SIG_IGN) {
            std::signal(signal, SIG_IGN);
        }
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    int rc = qcli::run_cli(args, std::cout, std::cerr);
    // Results that never reached standard output (a full disk, a closed pipe)
    // are no success. A line that failed earlier has taken its reason with it.
    errno = 0;
    const bool flushed = std::cout.flush().good() && std::ferror(stdout) == 0;
    const int flush_error = errno;
    if (!flushed || std::fclose(stdout) != 0) {
        const int error = flushed ? errno : flush_error;
        qcli::fail(std::cerr,
                   std::string("cannot write to standard output") +
                       (error != 0 ? std::string(": ") + std::strerror(error) : ""),
                   qcli::kExitFailed);
        rc = rc == qcli::kExitOk ? qcli::kExitFailed : rc;
    }
    return rc;
}
