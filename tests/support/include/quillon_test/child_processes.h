/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The children of this test process, read from /proc: a simulator that
// outlived its board shows up here.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

inline std::vector<pid_t> children_named(const std::string& name) {
    std::vector<pid_t> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        std::ifstream stat_file(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat_file, line)) {
            continue;
        }
        // "pid (comm) state ppid ...": comm may hold spaces and parentheses.
        const auto open = line.find('(');
        const auto close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close < open) {
            continue;
        }
        const std::string comm = line.substr(open + 1, close - open - 1);
        std::istringstream rest(line.substr(close + 1));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == ::getpid() && comm == name && state != 'Z') {
            found.push_back(static_cast<pid_t>(std::stol(line.substr(0, open))));
        }
    }
    return found;
}

// Processes named `name`, anyone's children, whose environment holds `entry`
// ("NAME=value"): a helper a program started and left behind when it ended.
inline std::vector<pid_t> processes_with(const std::string& name, const std::string& entry) {
    std::vector<pid_t> found;
    std::error_code ec;
    for (const auto& process : std::filesystem::directory_iterator("/proc", ec)) {
        std::ifstream comm_file(process.path() / "comm");
        std::string comm;
        if (!std::getline(comm_file, comm) || comm != name) {
            continue;
        }
        std::ifstream environ_file(process.path() / "environ", std::ios::binary);
        for (std::string held; std::getline(environ_file, held, '\0');) {
            if (held == entry) {
                found.push_back(static_cast<pid_t>(std::stol(process.path().filename().string())));
                break;
            }
        }
    }
    return found;
}
