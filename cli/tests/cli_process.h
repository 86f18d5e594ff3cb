/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Runs the built quillon-cli as its own process against the simulated board,
// in a scratch folder with its own RAM file and settings.
#pragma once

#include <sys/types.h>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "quillon_test/scratch_folder.h"

namespace qcli::testing_support {

struct ProcessResult {
    int exit_code = -1;
    std::string out;
    std::string err;      // without the port-access layer's own "dlportio: " lines
    std::string raw_err;  // all of standard error
};

// "exit 1", then both outputs: what a failed expectation shows of a run.
std::string describe(const ProcessResult& r);

// A program started with pipes on its standard input and output (standard
// error goes to the scratch folder's stderr.txt); killed if still there at the end.
struct Child {
    pid_t pid = -1;
    int in = -1;
    int out = -1;
    ~Child();
    void close_input();
    // Its exit status, once it ends.
    int wait();
};

class Scratch {
public:
    Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    const std::filesystem::path& dir() const { return folder_.path(); }
    std::filesystem::path path(const std::string& name) const { return folder_ / name; }

    // The simulated board's RAM, 32768 bytes.
    std::vector<std::uint8_t> ram() const;
    void set_ram(const std::vector<std::uint8_t>& bytes) const;
    // The program's profile file in this folder's config home.
    void set_profile(const std::string& text) const;
    std::filesystem::path profile_path() const { return dir_ / "config" / "quillon.INI"; }
    std::string profile() const;

    void write(const std::string& name, const std::vector<std::uint8_t>& bytes) const;
    void write_text(const std::string& name, const std::string& text) const;
    std::vector<std::uint8_t> read(const std::string& name) const;

    // extra_env entries ("NAME=value") are added to the defaults, or replace them.
    // wrapper: a command that runs quillon-cli (its first word an absolute path).
    // stdout_on_tty, with stderr_on_tty: both on one terminal, as a user sees
    // them, all in `err` with the terminal's line ends.
    ProcessResult run(const std::vector<std::string>& args,
                      const std::vector<std::string>& extra_env = {}, bool stderr_on_tty = false,
                      const std::string& stdin_path = "/dev/null",
                      const std::vector<std::string>& wrapper = {},
                      bool stdout_on_tty = false) const;

    // quillon-cli with its standard input and output for the caller to talk on.
    std::unique_ptr<Child> start(const std::vector<std::string>& args,
                                 const std::vector<std::string>& extra_env = {}) const;

    // The next run gets SIGTERM after this long, as a user's kill would send it.
    void end_next_run_after(std::chrono::milliseconds after) { end_after_ = after; }

private:
    std::vector<std::string> environment(const std::vector<std::string>& extra_env) const;

    mutable std::chrono::milliseconds end_after_{0};
    quillon_test::ScratchFolder folder_{"quillon-cli-test"};
    const std::filesystem::path& dir_ = folder_.path();
};

}  // namespace qcli::testing_support
