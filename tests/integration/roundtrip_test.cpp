// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Images through libvandrel into the simulated board and back, each step in its
// own process, as a user's separate runs would do it.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <fstream>
#include <map>
#include <vector>

#include "backend_table.h"
#include "quillon_test/bytes.h"
#include "quillon_test/scratch_folder.h"
#include "quillon_test/small_tmpfs.h"

extern char** environ;

namespace {

using quillon_test::read_bytes;
using quillon_test::ScratchFolder;
using quillon_test::write_bytes;
using Bytes = std::vector<std::uint8_t>;

Bytes random_bytes(std::size_t count) {
    return quillon_test::random_bytes(count, static_cast<unsigned>(count));
}

struct HelperRun {
    int exit_code;  // -1 when ended by a signal
    int signal;
    std::string out;
    std::string err;
};

class RoundTripTest : public ::testing::Test {
protected:
    // Runs the helper with the layer's variables set to `variables` only.
    HelperRun helper(std::vector<std::string> arguments,
                     std::map<std::string, std::string> variables = {}) {
        variables.try_emplace("DLPORTIO_BACKEND", "sim");
        variables.try_emplace("DLPORTIO_SIM_RAM", ram_.string());
        std::vector<std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            if (std::strncmp(*entry, "DLPORTIO_", 9) != 0) {
                environment.emplace_back(*entry);
            }
        }
        for (const auto& [name, value] : variables) {
            environment.push_back(name + "=" + value);
        }
        arguments.insert(arguments.begin(), ROUNDTRIP_HELPER);
        std::vector<char*> argv, envp;
        for (auto& a : arguments)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : environment)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        const auto out = scratch_ / "stdout", err = scratch_ / "stderr";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << argv[0] << ": " << std::strerror(spawned);
            return {-1, 0, "", ""};
        }
        int status = 0;
        waitpid(pid, &status, 0);
        const Bytes o = read_bytes(out), e = read_bytes(err);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                WIFSIGNALED(status) ? WTERMSIG(status) : 0,
                {o.begin(), o.end()},
                {e.begin(), e.end()}};
    }

    HelperRun upload(const Bytes& image, std::map<std::string, std::string> variables = {}) {
        write_bytes(scratch_ / "up.bin", image);
        return helper({"upload", (scratch_ / "up.bin").string()}, std::move(variables));
    }
    Bytes download(std::size_t count, std::map<std::string, std::string> variables = {}) {
        const auto file = scratch_ / "down.bin";
        std::filesystem::remove(file);
        const HelperRun run =
            helper({"download", std::to_string(count), file.string()}, std::move(variables));
        EXPECT_EQ(run.exit_code, 0) << "download reports success: " << run.err;
        return read_bytes(file);
    }
    void fill_ram(std::uint8_t value) { write_bytes(ram_, Bytes(0x8000, value)); }

    ScratchFolder scratch_;
    std::filesystem::path ram_ = scratch_ / "state/quillon/vandrel-board.ram";
};

TEST_F(RoundTripTest, ImagesSurviveUploadAndADownloadInAnotherProcess) {
    for (const std::size_t size : {1u, 45u, 256u, 257u, 32768u}) {
        SCOPED_TRACE(size);
        std::filesystem::create_directories(ram_.parent_path());
        fill_ram(0xEE);
        const Bytes image = random_bytes(size);
        const HelperRun up = upload(image);
        ASSERT_EQ(up.exit_code, 0) << up.err;
        const Bytes ram = read_bytes(ram_);
        ASSERT_EQ(ram.size(), 0x8000u);
        EXPECT_TRUE(std::equal(image.begin(), image.end(), ram.begin()))
            << "RAM file holds the image";
        EXPECT_TRUE(std::all_of(ram.begin() + static_cast<long>(size), ram.end(),
                                [](std::uint8_t b) { return b == 0xEE; }))
            << "nothing is written beyond the image";
        EXPECT_EQ(download(size), image);
    }
}

TEST_F(RoundTripTest, NewBoardRamStartsEmpty) {
    EXPECT_EQ(download(300), Bytes(300, 0x00));
    EXPECT_EQ(std::filesystem::file_size(ram_), 0x8000u);
}

TEST_F(RoundTripTest, NoBoardDownloadsFFBytesAndStoresNothingYetReportsSuccess) {
    const Bytes image = random_bytes(45);
    ASSERT_EQ(upload(image).exit_code, 0);
    const HelperRun lost = upload(Bytes(45, 0x11), {{"DLPORTIO_SIM_FAULT", "no-board"}});
    EXPECT_EQ(lost.exit_code, 0) << "nothing on the wire can tell";
    EXPECT_EQ(download(45), image) << "the board kept what it had";
    EXPECT_EQ(download(45, {{"DLPORTIO_SIM_FAULT", "no-board"}}), Bytes(45, 0xFF));
    EXPECT_EQ(download(45, {{"DLPORTIO_SIM_FAULT", "stuck-low"}}), Bytes(45, 0x00));
}

TEST_F(RoundTripTest, FlippedBitsGiveDetectablyWrongBytes) {
    const Bytes image = random_bytes(45);
    ASSERT_EQ(upload(image).exit_code, 0);
    const Bytes noisy = download(45, {{"DLPORTIO_SIM_FAULT", "flip=7"}});
    ASSERT_EQ(noisy.size(), image.size());
    int wrong_bits = 0;
    for (std::size_t i = 0; i < image.size(); ++i) {
        wrong_bits += std::popcount(static_cast<unsigned>(image[i] ^ noisy[i]));
    }
    EXPECT_EQ(wrong_bits, 45 * 8 / 7);
    EXPECT_EQ(download(45), image) << "the RAM itself is unharmed";
}

TEST_F(RoundTripTest, OneStderrLineNamesTheBackEnd) {
    const HelperRun run = helper({"download", "20", (scratch_ / "d.bin").string()});
    EXPECT_EQ(run.err, "dlportio: port 0x378: sim (RAM " + ram_.string() + ")\n");
    const HelperRun named = helper({"name"});
    EXPECT_EQ(named.out, "sim (RAM " + ram_.string() + ")\n");
    EXPECT_EQ(named.err, "") << "naming the back end is no access";
}

TEST_F(RoundTripTest, UnknownBackEndReadsAsNoBoardWithAReason) {
    const auto file = (scratch_ / "d.bin").string();
    const HelperRun run = helper({"download", "3", file}, {{"DLPORTIO_BACKEND", "lpt"}});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err, "dlportio: port 0x378: none: unknown DLPORTIO_BACKEND 'lpt' (use " +
                           dlportio::backend_names() +
                           "); accesses behave as with no board (the data input reads high)\n");
    EXPECT_EQ(read_bytes(file), Bytes(3, 0xFF));
}

TEST_F(RoundTripTest, UnavailableDeviceIsToldOnceAndReadsAsNoBoard) {
    const auto file = (scratch_ / "d.bin").string();
    const auto device = (scratch_ / "parport9").string();
    const HelperRun run = helper({"download", "2", file},
                                 {{"DLPORTIO_BACKEND", "ppdev"}, {"DLPORTIO_DEVICE", device}});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err,
              "dlportio: port 0x378: none: ppdev: cannot open " + device +
                  ": No such file or directory (load the drivers with 'sudo modprobe -a "
                  "parport_pc ppdev'); accesses behave as with no board (the data input reads "
                  "high)\n");
    EXPECT_EQ(read_bytes(file), Bytes(2, 0xFF));
}

TEST_F(RoundTripTest, SlowBoardNeedsTheDelayThatWaitsLongEnough) {
    // slow=50: a long wait at delay d is 2 x d x d status reads, so 5 is the
    // first delay that works (50 reads) and 4 (32 reads) loses clock edges.
    const std::map<std::string, std::string> slow{{"DLPORTIO_SIM_FAULT", "slow=50"}};
    const Bytes image = random_bytes(64);
    const auto up = scratch_ / "up.bin", down = scratch_ / "down.bin";
    write_bytes(up, image);
    ASSERT_EQ(helper({"--delay", "5", "upload", up.string()}, slow).exit_code, 0);
    ASSERT_EQ(helper({"--delay", "5", "download", "64", down.string()}, slow).exit_code, 0);
    EXPECT_EQ(read_bytes(down), image);
    ASSERT_EQ(helper({"--delay", "4", "download", "64", down.string()}, slow).exit_code, 0);
    EXPECT_NE(read_bytes(down), image);
    ASSERT_EQ(helper({"--delay", "4", "upload", up.string()}, slow).exit_code, 0);
    EXPECT_NE(download(64), image) << "an upload at delay 4 does not arrive intact";
}

struct SetupCase {
    const char* label;
    std::map<std::string, std::string> variables;
    int kind;
    std::string text_start;  // "" for the simulated board's own name
    bool loads_simboard;     // the simulated board's library comes into the process
};

class SetupTest : public RoundTripTest, public ::testing::WithParamInterface<SetupCase> {};

TEST_P(SetupTest, TellsTheKindAndTheReasonWithoutPrinting) {
    const SetupCase& c = GetParam();
    const HelperRun run = helper({"setup"}, c.variables);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const std::string start = std::to_string(c.kind) + " " +
                              (c.text_start.empty() ? "sim (RAM " + ram_.string() : c.text_start);
    EXPECT_EQ(run.out.rfind(start, 0), 0u) << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
    EXPECT_EQ(run.err, "") << "the caller reports";
    EXPECT_EQ(helper({"loads"}, c.variables).out, c.loads_simboard ? "yes\n" : "no\n")
        << "the simulated board's library is loaded only when selected";
}

INSTANTIATE_TEST_SUITE_P(
    Backends, SetupTest,
    ::testing::Values(
        SetupCase{"simulated", {}, 1, "", true},
        SetupCase{"simulated_without_board", {{"DLPORTIO_SIM_FAULT", "no-board"}}, 1, "", true},
        SetupCase{"unknown_backend",
                  {{"DLPORTIO_BACKEND", "lpt"}},
                  0,
                  "unknown DLPORTIO_BACKEND 'lpt' (use " + dlportio::backend_names() + ")\n",
                  false},
        SetupCase{"missing_device",
                  {{"DLPORTIO_BACKEND", "ppdev"}, {"DLPORTIO_DEVICE", "/nonexistent/parport9"}},
                  0,
                  "ppdev: cannot open /nonexistent/parport9: No such file or directory",
                  false},
        SetupCase{"bad_ram_file",
                  {{"DLPORTIO_SIM_RAM", "/dev/null"}},
                  0,
                  "simulated board unavailable: /dev/null is not a regular file",
                  true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(RoundTripTest, QuietLayerPrintsNothingEvenWithoutABoard) {
    const auto file = (scratch_ / "d.bin").string();
    const HelperRun run = helper({"--quiet", "download", "3", file}, {{"DLPORTIO_BACKEND", "lpt"}});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(read_bytes(file), Bytes(3, 0xFF));
    const HelperRun loud = helper({"download", "3", file}, {{"DLPORTIO_BACKEND", "lpt"}});
    EXPECT_NE(loud.err, "") << "without quiet the reason is told";
}

TEST_F(RoundTripTest, PathsAreTheFilesTheLayerUses) {
    EXPECT_EQ(helper({"path", "ram"}).out, ram_.string() + "\n");
    const std::map<std::string, std::string> uart{{"DLPORTIO_SIM_UART", "/x/y/u.log"}};
    EXPECT_EQ(helper({"path", "uart"}, uart).out, "/x/y/u.log\n");
    EXPECT_EQ(helper({"path", "ports"}, uart).out,
              (ram_.parent_path() / "vandrel-board.ports").string() + "\n")
        << "the ports belong to the board, not to its log";
    EXPECT_EQ(helper({"path", "board"}).out, "(null)\n");
    // Asked first thing, as callers of the older layer did.
    EXPECT_EQ(helper({"path-first", "ram"}).out, ram_.string() + "\n");
    EXPECT_EQ(helper({"path-first", "uart"}, uart).out, "/x/y/u.log\n");
    EXPECT_EQ(helper({"path-first", "ram"}, {{"DLPORTIO_BACKEND", "lpt"}}).out, "\n")
        << "no simulated board serves the port";
}

TEST_F(RoundTripTest, FullDiskMeansNoBoardWithItsReasonNotACrash) {
    SmallTmpfs disk;
    if (!disk.mounted()) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    }
    disk.fill("fill");
    const std::map<std::string, std::string> full{
        {"DLPORTIO_SIM_RAM", (disk / "board.ram").string()}};
    const HelperRun up = upload(random_bytes(4096), full);
    EXPECT_EQ(up.exit_code, 0) << "ends normally: " << up.err;
    EXPECT_NE(up.err.find("none: simulated board unavailable: cannot reserve 32 KB for"),
              std::string::npos)
        << up.err;
    const HelperRun setup = helper({"setup"}, full);
    EXPECT_EQ(setup.out.rfind("0 simulated board unavailable: cannot reserve 32 KB for " +
                                  (disk / "board.ram").string() + ": No space left on device",
                              0),
              0u)
        << setup.out;
}

struct TraceCounts {
    int writes = 0;
    long reads = 0;
    std::string first_write;
};

TraceCounts count_trace(const std::filesystem::path& trace) {
    std::ifstream in(trace);
    std::string line;
    TraceCounts counts;
    while (std::getline(in, line)) {
        if (line.starts_with("W ")) {
            if (counts.writes++ == 0)
                counts.first_write = line;
        } else if (line.starts_with("R 0379 ")) {
            const auto times = line.find(" x");
            counts.reads += times == std::string::npos ? 1 : std::stol(line.substr(times + 2));
        }
    }
    return counts;
}

TEST_F(RoundTripTest, TraceHoldsEveryAccessOfADownload) {
    const auto trace = scratch_ / "trace.txt";
    const HelperRun run = helper({"download", "1", (scratch_ / "d.bin").string()},
                                 {{"DLPORTIO_TRACE", trace.string()}});
    ASSERT_EQ(run.exit_code, 0);
    const TraceCounts counts = count_trace(trace);
    // At the shortest delay: the start sequence, then one downloaded byte.
    EXPECT_EQ(counts.first_write, "W 0378 C8");
    EXPECT_EQ(counts.writes, 53 + 54);
    EXPECT_EQ(counts.reads, 70 + 74 + 8);
}

TEST_F(RoundTripTest, TraceOfAProcessEndedByASignalIsComplete) {
    const auto trace = scratch_ / "trace.txt";
    const HelperRun run = helper({"killed", "1"}, {{"DLPORTIO_TRACE", trace.string()}});
    EXPECT_EQ(run.signal, SIGTERM) << "the process still ends by its signal: " << run.err;
    const TraceCounts counts = count_trace(trace);
    EXPECT_EQ(counts.writes, 53 + 54);
    EXPECT_EQ(counts.reads, 70 + 74 + 8);
}

TEST_F(RoundTripTest, TraceThatCannotBeWrittenIsToldOnce) {
    const auto file = scratch_ / "d.bin";
    ASSERT_EQ(upload(random_bytes(300)).exit_code, 0);
    const HelperRun run =
        helper({"download", "300", file.string()}, {{"DLPORTIO_TRACE", "/dev/full"}});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err, "dlportio: port 0x378: sim (RAM " + ram_.string() +
                           ")\ndlportio: cannot write the trace file /dev/full: No space left on "
                           "device; the trace is incomplete\n");
    EXPECT_EQ(read_bytes(file), random_bytes(300)) << "the transfer itself is unharmed";
}

}  // namespace
