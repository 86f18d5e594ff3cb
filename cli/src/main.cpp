#include <board_query.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"

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
    const int rc = qcli::run_cli(args, std::cout, std::cerr);
    std::cout.flush();
    return rc;
}
