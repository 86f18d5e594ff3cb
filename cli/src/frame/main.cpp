// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// quillon-cli's main: standard streams kept open, the trace written out on SIGINT and SIGTERM.
#include <unistd.h>

#include <board_query.h>
#include <posix/standard_streams.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <streambuf>
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

// Standard output when it was closed at the start: keeps no byte, only
// whether any came.
class LostOutput final : public std::streambuf {
public:
    bool any() const { return any_; }

protected:
    int_type overflow(int_type c) override {
        any_ = any_ || !traits_type::eq_int_type(c, traits_type::eof());
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char*, std::streamsize n) override {
        any_ = any_ || n > 0;
        return n;
    }

private:
    bool any_ = false;
};

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
    // A closed standard output is /dev/null now: results sent there are lost.
    const bool out_closed = quillon::posix::standard_stream_was_closed(STDOUT_FILENO);
    LostOutput lost;
    std::ostream lost_results(&lost);
    int rc = qcli::run_cli(args, out_closed ? lost_results : std::cout, std::cerr, out_closed);
    if (out_closed && lost.any()) {
        qcli::fail(std::cerr, qcli::kStdoutClosed, qcli::kExitFailed);
        return rc == qcli::kExitOk ? qcli::kExitFailed : rc;
    }
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
