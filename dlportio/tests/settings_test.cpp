#include "settings.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

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
    const dlportio::Settings settings = dlportio::settings_from_environment();
    EXPECT_EQ(settings.sim_ram, folder + "/vandrel-board.ram");
    EXPECT_EQ(settings.uart_log, folder + "/vandrel-uart.log");
    EXPECT_EQ(settings.ports_file, folder + "/vandrel-ports.txt");
}

INSTANTIATE_TEST_SUITE_P(
    Folders, FileLocationTest,
    ::testing::Values(LocationCase{"state_folder", "/st", "/home/u", "/st/quillon"},
                      LocationCase{"empty_state_folder", "", "/home/u",
                                   "/home/u/.local/state/quillon"},
                      LocationCase{"home_only", nullptr, "/home/u", "/home/u/.local/state/quillon"},
                      LocationCase{"no_home_variable", nullptr, nullptr, ""},
                      LocationCase{"empty_home_variable", nullptr, "", ""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(LayerSettings, ChosenFilesWinAndThePortsFileFollowsTheUartLog) {
    ScopedEnv ram("DLPORTIO_SIM_RAM", "/r/board.ram");
    ScopedEnv uart("DLPORTIO_SIM_UART", "/u/logs/uart.txt");
    const dlportio::Settings settings = dlportio::settings_from_environment();
    EXPECT_EQ(settings.sim_ram, "/r/board.ram");
    EXPECT_EQ(settings.uart_log, "/u/logs/uart.txt");
    EXPECT_EQ(settings.ports_file, "/u/logs/vandrel-ports.txt");
    EXPECT_EQ(settings.uart_link, "");
}

TEST(LayerSettings, UartPseudoTerminalIsLinkedBesideTheDefaultLog) {
    ScopedEnv state("XDG_STATE_HOME", "/st");
    ScopedEnv uart("DLPORTIO_SIM_UART", "pty");
    const dlportio::Settings settings = dlportio::settings_from_environment();
    EXPECT_EQ(settings.uart_link, "/st/quillon/vandrel-uart");
    EXPECT_EQ(settings.uart_log, "/st/quillon/vandrel-uart.log");
    EXPECT_EQ(settings.ports_file, "/st/quillon/vandrel-ports.txt");
}

}  // namespace
