// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Firmware on the simulated board through the board link library, as a user
// runs it: upload, reset (the 8051 runs), download (the 8051 stops and its
// writes are in the RAM). The layer reads its environment once, so main()
// sets it before any library call; ctest runs each test in its own process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"
#include "quillon_test/child_processes.h"
#include "quillon_test/firmware_files.h"
#include "quillon_test/scratch_folder.h"
#include "vandrel.h"

namespace {

using quillon_test::ScratchFolder;

constexpr std::size_t kPattern = 0x1000;
constexpr std::uint16_t kReadSize = kPattern + 0x100;

ScratchFolder* g_folder = nullptr;

std::filesystem::path uart_log() {
    return *g_folder / "state/uart.log";
}

std::string ports() {
    return read_text(*g_folder / "state/board.ports");
}

class FirmwareRun : public testing::Test {
protected:
    void SetUp() override {
#if !defined(QUILLON_FIRMWARE_A_BIN) || !defined(QUILLON_FIRMWARE_B_BIN)
        GTEST_SKIP() << "sdcc is not installed: no test firmware";
#else
        const char* path = std::getenv("PATH");
        if (sim::find_on_path("s51", path ? path : "").empty()) {
            GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
        }
        // Each test reads the log from its start, also when several share a process.
        std::filesystem::remove(uart_log());
#endif
    }

    // Uploads the image file, lets the 8051 run it until it has printed
    // `line`, then downloads the code and the pattern.
    void run_firmware(const char* image, const std::string& line) {
        const std::uint16_t size = read_file(image);
        ASSERT_GT(size, 0) << get_LastError();
        code_.assign(getBuffer(), getBuffer() + size);
        ASSERT_LT(code_.size(), kPattern);
        ASSERT_EQ(write_ram(), size);
        EXPECT_TRUE(children_named("s51").empty()) << "the 8051 runs during a transfer";

        reset();
        EXPECT_EQ(children_named("s51").size(), 1u);
        ASSERT_TRUE(wait_for_text(uart_log(), line)) << read_text(uart_log());

        ASSERT_EQ(read_ram(kReadSize), kReadSize);
        EXPECT_TRUE(children_named("s51").empty()) << "the simulator outlived the hold";
        const std::uint8_t* ram = getBuffer();
        EXPECT_EQ(std::vector<std::uint8_t>(ram, ram + code_.size()), code_);
    }

    void expect_pattern(std::uint8_t seed) {
        const std::uint8_t* ram = getBuffer();
        for (std::size_t i = 0; i < 256; ++i) {
            ASSERT_EQ(ram[kPattern + i], i ^ seed) << "at 0x" << std::hex << kPattern + i;
        }
    }

    std::vector<std::uint8_t> code_;
};

#if defined(QUILLON_FIRMWARE_A_BIN) && defined(QUILLON_FIRMWARE_B_BIN)

TEST_F(FirmwareRun, UploadedFirmwareRunsAndItsWritesAreDownloaded) {
    ASSERT_NO_FATAL_FAILURE(run_firmware(QUILLON_FIRMWARE_A_BIN, "vandrel firmware A\r\n"));
    expect_pattern(0x5A);
    EXPECT_EQ(ports(), "P0=0xFF\nP1=0x55\nP2=0xFF\nP3=0xFF\n");
    EXPECT_EQ(read_text(uart_log()), "vandrel firmware A\r\n");
}

TEST_F(FirmwareRun, SecondFirmwareReplacesTheFirst) {
    ASSERT_NO_FATAL_FAILURE(run_firmware(QUILLON_FIRMWARE_A_BIN, "vandrel firmware A\r\n"));
    ASSERT_NO_FATAL_FAILURE(run_firmware(QUILLON_FIRMWARE_B_BIN, "vandrel firmware B\r\n"));
    expect_pattern(0xC3);
    EXPECT_EQ(ports(), "P0=0xFF\nP1=0xAA\nP2=0xFF\nP3=0xFF\n");
    EXPECT_EQ(read_text(uart_log()), "vandrel firmware A\r\nvandrel firmware B\r\n");
}

TEST_F(FirmwareRun, ResetAgainRestartsTheSameFirmware) {
    ASSERT_NO_FATAL_FAILURE(run_firmware(QUILLON_FIRMWARE_A_BIN, "vandrel firmware A\r\n"));
    reset();
    ASSERT_TRUE(wait_for_text(uart_log(), "vandrel firmware A\r\nvandrel firmware A\r\n"));
    ASSERT_EQ(read_ram(1), 1);
    EXPECT_TRUE(children_named("s51").empty());
}

#endif

}  // namespace

int main(int argc, char** argv) {
    ScratchFolder folder;
    g_folder = &folder;
    ::setenv("DLPORTIO_BACKEND", "sim", 1);
    ::setenv("DLPORTIO_SIM_MCU", "s51", 1);
    ::setenv("DLPORTIO_SIM_RAM", (folder / "state/board.ram").c_str(), 1);
    ::setenv("DLPORTIO_SIM_UART", (folder / "state/uart.log").c_str(), 1);
    ::unsetenv("DLPORTIO_SIM_FAULT");
    ::unsetenv("DLPORTIO_TRACE");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
