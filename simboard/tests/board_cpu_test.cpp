// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Which 8051 the settings give the simulated board, and why none.
#include "board_cpu.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "quillon_test/scoped_env.h"
#include "quillon_test/scratch_folder.h"
#include "s51_cpu.h"

namespace {

using quillon_test::ScratchFolder;

struct Made {
    bool cpu;
    std::string said;
};

Made make() {
    testing::internal::CaptureStderr();
    sim::CpuSettings settings;
    if (const char* mcu = std::getenv("DLPORTIO_SIM_MCU")) {
        settings.mcu = mcu;
    }
    const bool cpu = sim::make_board_cpu(settings) != nullptr;
    return {cpu, testing::internal::GetCapturedStderr()};
}

TEST(MakeBoardCpu, PlainBoardUnlessAsked) {
    ScopedEnv mcu("DLPORTIO_SIM_MCU", nullptr);
    const Made made = make();
    EXPECT_FALSE(made.cpu);
    EXPECT_EQ(made.said, "");
}

TEST(MakeBoardCpu, UnknownSimulatorIsNamedOnStandardError) {
    ScopedEnv mcu("DLPORTIO_SIM_MCU", "z80");
    const Made made = make();
    EXPECT_FALSE(made.cpu);
    EXPECT_EQ(made.said,
              "dlportio: DLPORTIO_SIM_MCU=z80 is not known (s51 is); the simulated board runs no "
              "firmware\n");
}

TEST(MakeBoardCpu, MissingS51LeavesThePlainBoardAndSaysSo) {
    ScratchFolder empty;
    ScopedEnv mcu("DLPORTIO_SIM_MCU", "s51");
    ScopedEnv path("PATH", empty.path().c_str());
    const Made made = make();
    EXPECT_FALSE(made.cpu);
    EXPECT_EQ(made.said,
              "dlportio: DLPORTIO_SIM_MCU=s51, but s51 is not installed (Debian package "
              "sdcc-ucsim); the simulated board runs no firmware\n");
}

TEST(MakeBoardCpu, S51FoundOnThePath) {
    ScratchFolder bin;
    bin.put("s51", "#!/bin/sh\n");
    std::filesystem::permissions(bin / "s51", std::filesystem::perms::owner_all);
    ScopedEnv mcu("DLPORTIO_SIM_MCU", "s51");
    ScopedEnv path("PATH", ("/nonexistent:" + bin.path().string()).c_str());
    const Made made = make();
    EXPECT_TRUE(made.cpu);
    EXPECT_EQ(made.said, "");
}

}  // namespace
