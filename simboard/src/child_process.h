/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// A helper program run in a session of its own, so that it and anything it
// starts can be ended together, and that is killed when this process dies
// (strictly: when the thread that started it ends; the board's calls all come
// from the program's one thread).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

class ChildProcess {
public:
    // Starts `program` (an absolute path) with `args`; standard input, output
    // and error go to /dev/null and only `keep_fds` are inherited besides them;
    // `environment` ("NAME=value") is added to this process's own.
    // On failure the process is not running and `error` says why.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<int>& keep_fds, std::string& error,
                 const std::vector<std::string>& environment = {});
    // Ends the process group at once if it is still there.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // True once the process has exited (and was reaped).
    bool exited();
    // Waits up to `grace` for the process to exit by itself, then kills its
    // whole group; returns true when it exited within the grace time.
    bool finish(std::chrono::milliseconds grace);

private:
    pid_t pid_ = -1;
};

// The first executable file `name` in the folders of `search_path` (a PATH
// value), as an absolute path; empty when there is none.
std::string find_on_path(std::string_view name, std::string_view search_path);

}  // namespace sim
