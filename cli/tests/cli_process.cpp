// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The built quillon-cli run as a process in a scratch folder, its output caught.
#include "cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "posix/fd.h"
#include "quillon_test/bytes.h"

namespace qcli::testing_support {

Scratch::Scratch() {
    std::filesystem::create_directories(dir_ / "config");
    std::filesystem::create_directories(dir_ / "tmp");
    set_ram(std::vector<std::uint8_t>(0x8000, 0x00));
    // Delay 1 keeps the simulated transfers short.
    set_profile("[section]\nDelay=1\nPort=1\n");
}

std::vector<std::uint8_t> Scratch::ram() const {
    return quillon_test::read_bytes(dir_ / "ram.bin");
}

void Scratch::set_ram(const std::vector<std::uint8_t>& bytes) const {
    std::vector<std::uint8_t> full = bytes;
    full.resize(0x8000, 0x00);
    write("ram.bin", full);
}

void Scratch::set_profile(const std::string& text) const {
    std::ofstream(profile_path(), std::ios::binary) << text;
}

std::string Scratch::profile() const {
    const auto bytes = quillon_test::read_bytes(profile_path());
    return {bytes.begin(), bytes.end()};
}

void Scratch::write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    quillon_test::write_bytes(dir_ / name, bytes);
}

void Scratch::write_text(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / name, std::ios::binary) << text;
}

std::vector<std::uint8_t> Scratch::read(const std::string& name) const {
    return quillon_test::read_bytes(dir_ / name);
}

std::vector<std::string> Scratch::environment(const std::vector<std::string>& extra_env) const {
    std::vector<std::string> env{
        "HOME=" + dir_.string(),
        "XDG_CONFIG_HOME=" + (dir_ / "config").string(),
        "TMPDIR=" + (dir_ / "tmp").string(),
        "DLPORTIO_BACKEND=sim",
        "DLPORTIO_SIM_RAM=" + (dir_ / "ram.bin").string(),
        // The library with instant sleeps: transfers skip their 500 ms pause.
        std::string("LD_LIBRARY_PATH=") + QUILLON_NOSLEEP_DIR,
    };
    for (const char* keep : {"PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (const char* value = std::getenv(keep)) {
            env.push_back(std::string(keep) + "=" + value);
        }
    }
    // An extra entry replaces a default of the same name.
    for (const std::string& entry : extra_env) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(env, [&](const std::string& e) { return e.starts_with(name); });
        env.push_back(entry);
    }
    return env;
}

Child::~Child() {
    close_input();
    if (out >= 0) {
        ::close(out);
    }
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
}

void Child::close_input() {
    if (in >= 0) {
        ::close(in);
        in = -1;
    }
}

int Child::wait() {
    close_input();
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

namespace {

// The texts as the NULL-ended array of pointers posix_spawn takes.
std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> list;
    for (auto& text : texts) {
        list.push_back(text.data());
    }
    list.push_back(nullptr);
    return list;
}

}  // namespace

std::string describe(const ProcessResult& r) {
    return "exit " + std::to_string(r.exit_code) + "\nstdout:\n" + r.out + "stderr:\n" + r.err;
}

std::unique_ptr<Child> Scratch::start(const std::vector<std::string>& args,
                                      const std::vector<std::string>& extra_env) const {
    std::vector<std::string> env = environment(extra_env);
    std::vector<std::string> argv_text{QUILLON_CLI_PATH};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv = pointers(argv_text);
    std::vector<char*> envp = pointers(env);
    std::array<int, 2> to_child{};
    std::array<int, 2> from_child{};
    if (pipe2(to_child.data(), O_CLOEXEC) != 0 || pipe2(from_child.data(), O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, to_child[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, from_child[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (dir_ / "stderr.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    auto child = std::make_unique<Child>();
    const int spawned =
        posix_spawn(&child->pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(to_child[0]);
    ::close(from_child[1]);
    child->in = to_child[1];
    child->out = from_child[0];
    if (spawned != 0) {
        child->pid = -1;
        throw std::runtime_error("cannot start " + argv_text[0]);
    }
    return child;
}

ProcessResult Scratch::run(const std::vector<std::string>& args,
                           const std::vector<std::string>& extra_env, bool stderr_on_tty,
                           const std::string& stdin_path, const std::vector<std::string>& wrapper,
                           bool stdout_on_tty) const {
    std::vector<std::string> env = environment(extra_env);
    std::vector<std::string> argv_text = wrapper;
    argv_text.emplace_back(QUILLON_CLI_PATH);
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv = pointers(argv_text);
    std::vector<char*> envp = pointers(env);

    // Both ends of each of the two pipes (or the pty for standard error), held
    // until they are done with: [0] is read here, [1] goes to the program.
    std::array<int, 2> out_pipe{};
    std::array<int, 2> err_pipe{};
    if (pipe2(out_pipe.data(), O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::array<quillon::posix::Fd, 2> readers{quillon::posix::Fd(out_pipe[0])};
    quillon::posix::Fd out_writer(out_pipe[1]);
    if (stderr_on_tty) {
        if (openpty(&err_pipe[0], &err_pipe[1], nullptr, nullptr, nullptr) != 0) {
            throw std::runtime_error("openpty failed");
        }
        fcntl(err_pipe[0], F_SETFD, FD_CLOEXEC);
        fcntl(err_pipe[1], F_SETFD, FD_CLOEXEC);
    } else if (pipe2(err_pipe.data(), O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    readers[1] = quillon::posix::Fd(err_pipe[0]);
    quillon::posix::Fd err_writer(err_pipe[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, stdin_path.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, stdout_on_tty ? err_writer.get() : out_writer.get(),
                                     STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err_writer.get(), STDERR_FILENO);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    out_writer.close();
    err_writer.close();
    ProcessResult result;
    if (spawned != 0) {
        throw std::runtime_error("cannot start " + argv_text[0]);
    }

    std::thread ender;
    if (end_after_.count() > 0) {
        // Joined before the wait, so the pid cannot have been reused yet.
        ender = std::thread([pid, after = end_after_] {
            std::this_thread::sleep_for(after);
            ::kill(pid, SIGTERM);
        });
        end_after_ = std::chrono::milliseconds(0);
    }
    std::array<pollfd, 2> fds{{{readers[0].get(), POLLIN, 0}, {readers[1].get(), POLLIN, 0}}};
    std::array<std::string*, 2> into{&result.out, &result.err};
    int open_fds = 2;
    while (open_fds > 0) {
        if (poll(fds.data(), fds.size(), -1) < 0) {
            continue;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            std::array<char, 4096> chunk{};
            const ssize_t n = ::read(fds[i].fd, chunk.data(), chunk.size());
            if (n > 0) {
                into[i]->append(chunk.data(), static_cast<std::size_t>(n));
            } else {
                // End of the pipe, or EIO once the pty's other side is gone.
                readers[i].close();
                fds[i].fd = -1;
                --open_fds;
            }
        }
    }
    // The port-access layer names its back end once on standard error; the
    // tests look at what quillon-cli itself says.
    std::string own;
    for (std::size_t start = 0; start < result.err.size();) {
        const std::size_t end = result.err.find('\n', start);
        const std::size_t next = end == std::string::npos ? result.err.size() : end + 1;
        if (result.err.compare(start, 10, "dlportio: ") != 0) {
            own += result.err.substr(start, next - start);
        }
        start = next;
    }
    result.raw_err = std::move(result.err);
    result.err = own;
    if (ender.joinable()) {
        ender.join();
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace qcli::testing_support
