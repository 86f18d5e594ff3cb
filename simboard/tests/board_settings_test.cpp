// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated board's settings and file places from the environment.
#include "board_settings.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include "quillon_test/param_name.h"
#include "quillon_test/scoped_env.h"

namespace {

struct LocationCase {
    const char* label;
    const char* xdg_state_home;  // nullptr: unset
    const char* home;            // nullptr: unset
    std::string folder;          // where the layer's files go; "" for the password database's home
};

class FileLocationTest : public ::testing::TestWithParam<LocationCase> {};

TEST_P(FileLocationTest, RamAndUartLogShareOneFolder) {
    const LocationCase& c = GetParam();
    ScopedEnv state("XDG_STATE_HOME", c.xdg_state_home);
    ScopedEnv home("HOME", c.home);
    ScopedEnv ram("DLPORTIO_SIM_RAM", nullptr);
    ScopedEnv uart("DLPORTIO_SIM_UART", nullptr);
    std::string folder = c.folder;
    if (folder.empty()) {
        const passwd* entry = ::getpwuid(::getuid());
        ASSERT_NE(entry, nullptr);
        folder = std::string(entry->pw_dir) + "/.local/state/quillon";
    }
    const sim::BoardSettings settings = sim::settings_from_environment();
    EXPECT_EQ(settings.ram, folder + "/vandrel-board.ram");
    EXPECT_EQ(settings.uart_log, folder + "/vandrel-uart.log");
    EXPECT_EQ(settings.ports_file, folder + "/vandrel-ports.txt");
}

INSTANTIATE_TEST_SUITE_P(
    Folders, FileLocationTest,
    ::testing::Values(LocationCase{"state_folder", "/st", "/home/u", "/st/quillon"},
                      LocationCase{"empty_state_folder", "", "/home/u",
                                   "/home/u/.local/state/quillon"},
                      LocationCase{"relative", "st", "/home/u", "/home/u/.local/state/quillon"},
                      LocationCase{"home_only", nullptr, "/home/u", "/home/u/.local/state/quillon"},
                      LocationCase{"no_home_variable", nullptr, nullptr, ""},
                      LocationCase{"empty_home_variable", nullptr, "", ""}),
    [](const auto& info) { return std::string(info.param.label); });

struct BoardFilesCase {
    const char* ram;   // DLPORTIO_SIM_RAM; nullptr: unset
    const char* uart;  // DLPORTIO_SIM_UART; nullptr: unset
    std::string uart_log, ports_file, uart_link;
};

class BoardFilesTest : public ::testing::TestWithParam<BoardFilesCase> {};

// Two boards never share a file, and a variable of its own still wins.
TEST_P(BoardFilesTest, EveryFileFollowsTheRamFile) {
    const BoardFilesCase& c = GetParam();
    ScopedEnv state("XDG_STATE_HOME", "/st");
    ScopedEnv ram("DLPORTIO_SIM_RAM", c.ram);
    ScopedEnv uart("DLPORTIO_SIM_UART", c.uart);
    const sim::BoardSettings settings = sim::settings_from_environment();
    EXPECT_EQ(settings.uart_log, c.uart_log);
    EXPECT_EQ(settings.ports_file, c.ports_file);
    EXPECT_EQ(settings.uart_link, c.uart_link);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, BoardFilesTest,
    ::testing::Values(
        BoardFilesCase{"/r/a.ram", nullptr, "/r/a.uart.log", "/r/a.ports", ""},
        BoardFilesCase{"b.ram", "pty", "b.uart.log", "b.ports", "b.uart"},
        BoardFilesCase{"/r/board", "/u/uart.txt", "/u/uart.txt", "/r/board.ports", ""},
        BoardFilesCase{"/st/quillon/vandrel-board.ram", nullptr, "/st/quillon/vandrel-uart.log",
                       "/st/quillon/vandrel-ports.txt", ""},
        BoardFilesCase{nullptr, "pty", "/st/quillon/vandrel-uart.log",
                       "/st/quillon/vandrel-ports.txt", "/st/quillon/vandrel-uart"}),
    // The two variables as set, "unset" for one that is not.
    quillon_test::name_from([](const BoardFilesCase& c) {
        return std::string(c.ram != nullptr ? c.ram : "unset") + " " +
               (c.uart != nullptr ? c.uart : "unset");
    }));

}  // namespace
