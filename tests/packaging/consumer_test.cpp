// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// A program of someone else's, built against an installed tree through the
// library's CMake package and through pkg-config, uploads an image to the
// simulated board.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <vandrel.h>

#include "shell.h"

namespace quillon::packaging {
namespace {

namespace fs = std::filesystem;

class InstalledLibrary : public ::testing::TestWithParam<bool> {
protected:
    static void SetUpTestSuite() {
        scratch_ = std::make_unique<ScratchFolder>();
        const ShellResult installed =
            run_shell(quoted(CMAKE_COMMAND) + " --install " + quoted(QUILLON_BUILD_DIR) +
                      " --prefix " + quoted(prefix()));
        install_output_ = installed.exit_code == 0 ? "" : installed.output;
    }
    static void TearDownTestSuite() { scratch_.reset(); }

    void SetUp() override { ASSERT_EQ(install_output_, ""); }

    static fs::path prefix() { return *scratch_ / "usr"; }
    static std::string pkg_config_path() {
        return quoted((prefix() / QUILLON_LIBDIR / "pkgconfig").string());
    }
    bool with_pkg_config() const { return GetParam(); }

    // Configures and builds the consumer; returns the program's path.
    fs::path build_consumer() const {
        const fs::path build = *scratch_ / (with_pkg_config() ? "pkg-config" : "cmake");
        // Only the way under test may find the library.
        const std::string found_by =
            with_pkg_config() ? "-DUSE_PKG_CONFIG=ON -DPKG_CONFIG_USE_CMAKE_PREFIX_PATH=OFF"
                              : "-DCMAKE_PREFIX_PATH=" + quoted(prefix());
        const std::string env = with_pkg_config() ? "PKG_CONFIG_PATH=" + pkg_config_path() : "";
        const ShellResult configured = run_shell(
            "env " + env + " " + quoted(CMAKE_COMMAND) + " -S " +
            quoted(std::string(QUILLON_SOURCE_DIR) + "/tests/packaging/consumer") + " -B " +
            quoted(build) + " -G Ninja -DCMAKE_C_COMPILER=" + quoted(QUILLON_C_COMPILER) +
            " -DCMAKE_C_FLAGS=" + quoted(QUILLON_SANITIZE_FLAGS) + " " + found_by);
        EXPECT_EQ(configured.exit_code, 0) << configured.output;
        const ShellResult built = run_shell(quoted(CMAKE_COMMAND) + " --build " + quoted(build));
        EXPECT_EQ(built.exit_code, 0) << built.output;
        return build / "upload_buffer";
    }

    static inline std::unique_ptr<ScratchFolder> scratch_;
    static inline std::string install_output_;
};

std::vector<char> read_bytes(const fs::path& path, std::size_t count) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes(count);
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

TEST_P(InstalledLibrary, ConsumerBuildsAndUploadsToTheSimulatedBoard) {
    const fs::path program = build_consumer();
    ASSERT_TRUE(fs::exists(program));

    const fs::path image = *scratch_ / (with_pkg_config() ? "a.bin" : "b.bin");
    std::vector<char> bytes(300);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7 + (with_pkg_config() ? 1 : 2));
    }
    std::ofstream(image, std::ios::binary).write(bytes.data(), bytes.size());
    const fs::path ram = *scratch_ / (with_pkg_config() ? "a.ram" : "b.ram");

    const ShellResult run =
        run_shell("env -u LD_LIBRARY_PATH DLPORTIO_BACKEND=sim DLPORTIO_SIM_RAM=" + quoted(ram) +
                  " " + quoted(program) + " " + quoted(image));
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_TRUE(std::regex_search(
        run.output, std::regex("^1\\.02\\.000 300 \\[[0-9A-F]{4}\\]\n", std::regex::multiline)))
        << run.output;
    EXPECT_EQ(read_bytes(ram, bytes.size()), bytes);

    const ShellResult libraries = run_shell("env -u LD_LIBRARY_PATH ldd " + quoted(program));
    const fs::path installed = fs::canonical(prefix() / QUILLON_LIBDIR) / "libvandrel.so.1";
    EXPECT_NE(libraries.output.find("=> " + installed.string()), std::string::npos)
        << libraries.output;
}

// A firmware suite declared with the package's CMake function runs side by
// side under ctest -j, each test on its board and with its own verdict.
TEST_P(InstalledLibrary, FirmwareSuiteRunsSideBySideUnderCtest) {
#if !defined(QUILLON_ECHO_IHX)
    GTEST_SKIP() << "sdcc is not installed: no test firmware";
#else
    if (with_pkg_config() || run_shell("command -v s51").exit_code != 0) {
        GTEST_SKIP() << "the function comes with the CMake package, and needs s51";
    }
    const fs::path build = *scratch_ / "firmware-suite";
    const ShellResult configured = run_shell(
        quoted(CMAKE_COMMAND) + " -S " +
        quoted(std::string(QUILLON_SOURCE_DIR) + "/tests/packaging/firmware_suite") + " -B " +
        quoted(build) + " -DCMAKE_PREFIX_PATH=" + quoted(prefix()) +
        " -DECHO_IHX=" + quoted(QUILLON_ECHO_IHX) + " -DPASS_IHX=" + quoted(QUILLON_PASS_IHX) +
        " -DFAIL_IHX=" + quoted(QUILLON_FAIL_IHX) + " -DFIRMWARE_A_IHX=" +
        quoted(QUILLON_FIRMWARE_A_IHX) + " -DFIRMWARE_B_IHX=" + quoted(QUILLON_FIRMWARE_B_IHX));
    ASSERT_EQ(configured.exit_code, 0) << configured.output;
    const ShellResult ran = run_shell("env -u LD_LIBRARY_PATH ctest --test-dir " + quoted(build) +
                                      " -j8 --output-on-failure");
    EXPECT_EQ(ran.exit_code, 0) << ran.output;
    EXPECT_NE(ran.output.find("100% tests passed, 0 tests failed out of 9"), std::string::npos)
        << ran.output;
    std::ifstream log(build / "vandrel-boards/echo_bravo.uart.log");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(log), {}), "bravo here.");
#endif
}

// The first code block after `opening` in the README's section `heading`.
std::string readme_block(const std::string& heading, const std::string& opening) {
    std::ifstream in(std::string(QUILLON_SOURCE_DIR) + "/README.md");
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    const auto from = text.find("\n```" + opening, text.find("\n## " + heading + "\n"));
    const auto start = text.find('\n', from + 1) + 1;
    return text.substr(start, text.find("\n```\n", start) - start + 1);
}

// The README's firmware quick start and debugging example as printed, run
// against the installed tree: a user's Makefile finds vandrel_sim.h through
// the installed vandrel.pc, and what they print is what the README shows.
TEST_P(InstalledLibrary, ReadmeFirmwareExamplesRunAsPrinted) {
#if !defined(QUILLON_ECHO_IHX)
    GTEST_SKIP() << "sdcc is not installed: no test firmware";
#else
    if (!with_pkg_config() || run_shell("command -v s51").exit_code != 0) {
        GTEST_SKIP() << "the examples use pkg-config, and need s51";
    }
    const std::string firmware = "Quick start: firmware on the simulated board";
    const fs::path folder = *scratch_ / "readme";
    fs::create_directories(folder);
    std::ofstream(folder / "main.c") << readme_block(firmware, "c\n");
    std::ofstream(folder / "Makefile") << readme_block(firmware, "make\n");
    const std::string user = "cd " + quoted(folder.string()) +
                             " && env -u LD_LIBRARY_PATH -u DLPORTIO_SIM_RAM -u XDG_STATE_HOME "
                             "-u XDG_CONFIG_HOME HOME=" +
                             quoted(folder.string()) + " PKG_CONFIG_PATH=" + pkg_config_path() +
                             " PATH=" + quoted((prefix() / "bin").string()) + ":\"$PATH\" sh -c ";
    const std::string shown = readme_block(firmware, "\n$ make");
    const ShellResult made = run_shell(user + quoted(shown.substr(2, shown.find('\n') - 2)));
    EXPECT_EQ(made.exit_code, 0) << made.output;
    EXPECT_EQ(made.output, shown.substr(shown.find('\n') + 1));

    std::string steps = readme_block("Quick start: debugging firmware", "\n$ ");
    std::string expected;
    for (std::size_t at = 0; at < steps.size();) {
        const std::size_t end = steps.find('\n', at) + 1;
        const std::string line = steps.substr(at, end - at);
        if (line.starts_with("$ ")) {
            const ShellResult step = run_shell(user + quoted(line.substr(2, line.size() - 3)));
            EXPECT_EQ(step.exit_code, 0) << line << step.output;
            expected.clear();
            for (std::size_t next = end;
                 next < steps.size() && !steps.substr(next).starts_with("$ ");
                 next = steps.find('\n', next) + 1) {
                expected += steps.substr(next, steps.find('\n', next) + 1 - next);
            }
            EXPECT_EQ(step.output, expected) << line;
        }
        at = end;
    }
#endif
}

INSTANTIATE_TEST_SUITE_P(FoundBy, InstalledLibrary, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "PkgConfig" : "CMake"; });

// "1.02.000" as get_version() has it, {1, 2, 0}.
std::vector<int> version_numbers(const std::string& text) {
    static const std::regex number("[0-9]+");
    std::vector<int> numbers;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), number);
         it != std::sregex_iterator(); ++it) {
        numbers.push_back(std::stoi(it->str()));
    }
    return numbers;
}

TEST(InstalledLibraryVersion, PkgConfigGivesTheVersionTheLibraryReports) {
    const ShellResult version =
        run_shell("PKG_CONFIG_PATH=" + quoted(std::string(QUILLON_BUILD_DIR) + "/vandrel") +
                  " pkg-config --modversion vandrel");
    ASSERT_EQ(version.exit_code, 0) << version.output;
    EXPECT_EQ(version_numbers(version.output), version_numbers(get_version()))
        << version.output << " against " << get_version();
}

}  // namespace
}  // namespace quillon::packaging
