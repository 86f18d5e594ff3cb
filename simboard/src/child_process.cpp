// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// Starting, watching and ending a helper program in a session of its own.
#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>

#include "posix/fd.h"

namespace sim {

namespace {

// Only async-signal-safe calls between fork and exec: the parent may have
// other threads.
[[noreturn]] void exec_child(const char* program, char* const* argv, char* const* envp,
                             const int* keep_fds, std::size_t keep_count, pid_t parent,
                             int report_fd) {
    ::setsid();
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) {
        ::_exit(127);  // the parent is already gone
    }
    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
        ::dup2(null_fd, 0);
        ::dup2(null_fd, 1);
        ::dup2(null_fd, 2);
    }
    // Nothing of the parent (devices, other pipes) may stay open in the
    // helper: everything above standard error closes on exec but `keep_fds`.
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd < 4096; ++fd) {
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    for (std::size_t i = 0; i < keep_count; ++i) {
        ::fcntl(keep_fds[i], F_SETFD, 0);
    }
    ::execve(program, argv, envp);
    const int code = errno;
    [[maybe_unused]] const auto written = ::write(report_fd, &code, sizeof code);
    ::_exit(127);
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<int>& keep_fds, std::string& error,
                           const std::vector<std::string>& environment) {
    std::vector<std::string> storage;
    storage.reserve(args.size() + 1);
    storage.push_back(program);
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : storage) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    // Ours, then this process's own but those ours replace; built before the
    // fork, as the child may not allocate.
    std::vector<std::string> env_storage(environment);
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view name(*entry, std::strcspn(*entry, "="));
        const bool replaced =
            std::any_of(environment.begin(), environment.end(), [name](const std::string& ours) {
                return ours.size() > name.size() && ours.starts_with(name) &&
                       ours[name.size()] == '=';
            });
        if (!replaced) {
            env_storage.emplace_back(*entry);
        }
    }
    std::vector<char*> envp;
    for (std::string& entry : env_storage) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    // The exec failure comes back through a pipe that closes on a good exec.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        error = std::string("cannot create a pipe: ") + std::strerror(errno);
        return;
    }
    quillon::posix::Fd from_child(report[0]);
    quillon::posix::Fd to_parent(report[1]);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        from_child.close();
        exec_child(program.c_str(), argv.data(), envp.data(), keep_fds.data(), keep_fds.size(),
                   parent, to_parent.get());
    }
    to_parent.close();
    if (pid < 0) {
        error = std::string("cannot start ") + program + ": " + std::strerror(errno);
        return;
    }
    int code = 0;
    ssize_t got;
    do {
        got = ::read(from_child.get(), &code, sizeof code);
    } while (got < 0 && errno == EINTR);
    pid_ = pid;
    if (got == sizeof code) {
        error = "cannot start " + program + ": " + std::strerror(code);
        finish(std::chrono::milliseconds(0));
    }
}

ChildProcess::~ChildProcess() {
    finish(std::chrono::milliseconds(0));
}

bool ChildProcess::exited() {
    if (pid_ <= 0) {
        return true;
    }
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_ || (done < 0 && errno == ECHILD)) {
        pid_ = -1;
        return true;
    }
    return false;
}

bool ChildProcess::finish(std::chrono::milliseconds grace) {
    if (pid_ <= 0) {
        return true;
    }
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (std::chrono::steady_clock::now() < deadline) {
        if (exited()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (exited()) {
        return true;
    }
    // Not yet reaped, so its id cannot have been reused: the group is ours.
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return false;
}

std::string find_on_path(std::string_view name, std::string_view search_path) {
    while (true) {
        const std::size_t end = search_path.find(':');
        const std::string_view folder = search_path.substr(0, end);
        if (!folder.empty()) {
            std::error_code ec;
            const std::string candidate =
                std::filesystem::absolute(std::filesystem::path(folder) / name, ec).string();
            struct stat info {};
            if (!ec && ::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                ::access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        if (end == std::string_view::npos) {
            return {};
        }
        search_path.remove_prefix(end + 1);
    }
}

}  // namespace sim
