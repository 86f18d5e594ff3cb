// quillon-cli run: firmware on the simulated board's 8051, from upload to the
// port latches, through the built program.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli_process.h"

namespace qcli {
namespace {

using testing_support::ProcessResult;
using testing_support::Scratch;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string describe(const ProcessResult& r) {
    return "exit " + std::to_string(r.exit_code) + "\nstdout:\n" + r.out + "stderr:\n" + r.err;
}

bool s51_installed() {
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(':', start), path.size());
        const std::string folder = path.substr(start, end - start);
        if (!folder.empty() && ::access((folder + "/s51").c_str(), X_OK) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

class CliRun : public testing::Test {
protected:
    Scratch scratch;
};

TEST_F(CliRun, FirmwareRunsShowsItsUartLineAndPortsAndIsReadBack) {
#if !defined(FIRMWARE_A_IHX)
    GTEST_SKIP() << "sdcc is not installed: no test firmware";
#else
    if (!s51_installed()) {
        GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
    }
    const ProcessResult r = scratch.run({"run", FIRMWARE_A_IHX, "--for", "0.5", "--read", "4352",
                                         scratch.path("after.bin").string()},
                                        {"DLPORTIO_SIM_MCU=s51"});
    ASSERT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_TRUE(contains(r.out, "vandrel firmware A\r\n")) << describe(r);
    EXPECT_TRUE(contains(r.out, "ports: P0=0xFF P1=0x55 P2=0xFF P3=0xFF\n")) << describe(r);
    EXPECT_TRUE(contains(r.out, "read 4352 from RAM")) << describe(r);

    const auto after = scratch.read("after.bin");
    ASSERT_EQ(after.size(), 4352u);
    for (std::size_t i = 0; i < 256; ++i) {
        ASSERT_EQ(after[0x1000 + i], i ^ 0x5A) << "at 0x" << std::hex << 0x1000 + i;
    }
    // The layer and the program agree on where the log lives by default.
    std::ifstream log(scratch.dir() / ".local/state/quillon/vandrel-uart.log", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(log), {}), "vandrel firmware A\r\n");
#endif
}

TEST_F(CliRun, PlainBoardRunsWithoutUartOrPorts) {
    scratch.write("one.bin", {0x80, 0xFE});  // sjmp $
    const ProcessResult r = scratch.run({"run", scratch.path("one.bin").string(), "--for", "0"});
    ASSERT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_TRUE(contains(r.out, "(no UART output)")) << describe(r);
    EXPECT_TRUE(contains(r.out, "no port latches")) << describe(r);
    EXPECT_EQ(scratch.ram()[1], 0xFE);
}

TEST_F(CliRun, ReadNeedsItsOutputFileAndTheOtherWayRound) {
    scratch.set_ram({});
    scratch.write("one.bin", {0x80, 0xFE});
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"run", "one.bin", "--read", "16"},
                                               {"run", "one.bin", "out.bin"},
                                               {"run", "one.bin", "--read", "0", "out.bin"},
                                               {"run", "one.bin", "--for", "-1"},
                                               {"run", "one.bin", "--for", "two"}}) {
        const ProcessResult r = scratch.run(args);
        EXPECT_EQ(r.exit_code, 2) << args.back() << "\n" << describe(r);
        EXPECT_TRUE(contains(r.err, "quillon-cli: ")) << describe(r);
    }
    EXPECT_EQ(scratch.ram()[1], 0x00) << "a refused run must not upload";
}

}  // namespace
}  // namespace qcli
