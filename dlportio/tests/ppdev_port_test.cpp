// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The ppdev back end against a fake device that answers as drivers/char/ppdev.c does.
#include "ppdev_port.h"

#include <gtest/gtest.h>

#include <cstring>

#include "fake_device.h"
#include "quillon_test/scratch_folder.h"

namespace {

using dlportio::PpdevPort;
using quillon_test::ScratchFolder;
using Log = std::vector<std::string>;

class PpdevPortTest : public ::testing::Test {
protected:
    PpdevPortTest() { device_.mirror_into(paths_.parport_proc / "parport0/devices"); }

    std::unique_ptr<PpdevPort> open(std::string& error,
                                    const std::string& device = "/dev/parport0") {
        return PpdevPort::open(device, device_, paths_, error);
    }

    ScratchFolder scratch_;
    dlportio::SystemPaths paths_{
        scratch_ / "proc",    scratch_ / "dev",      scratch_ / "pnp",     scratch_ / "usbmisc",
        scratch_ / "ioports", scratch_ / "lockdown", scratch_ / "modules", scratch_ / "secureboot"};
    FakeDevice device_;
};

TEST_F(PpdevPortTest, ClaimsOnceThenOneIoctlPerAccessThenReleases) {
    device_.status = 0x3F;
    std::string error;
    {
        auto port = open(error);
        ASSERT_TRUE(port) << error;
        port->write_data(0xC8);
        port->write_data(0x48);
        EXPECT_EQ(port->read_status(), 0x3F);
        EXPECT_EQ(port->read_status(), 0x3F);
    }
    EXPECT_EQ(device_.log, (Log{"open /dev/parport0", "PPEXCL", "PPCLAIM", "PPWDATA", "PPWDATA",
                                "PPRSTATUS", "PPRSTATUS", "PPRELEASE", "close"}));
    EXPECT_EQ(device_.data_written, (std::vector<std::uint8_t>{0xC8, 0x48}));
    EXPECT_TRUE(device_.registered().empty()) << "unregistered at the end";
}

struct HolderCase {
    const char* label;
    const char* holder;
    bool exclusive;
    bool claimed;
    std::vector<std::string> said;      // parts of the reason
    std::vector<std::string> not_said;  // advice that would be wrong here
};

class PpdevHolderTest : public PpdevPortTest, public ::testing::WithParamInterface<HolderCase> {};

TEST_P(PpdevHolderTest, RefusedClaimNamesTheHolderAndNeverWaitsForIt) {
    const HolderCase& c = GetParam();
    device_.register_other(c.holder, c.exclusive, c.claimed);
    std::string error;
    EXPECT_FALSE(open(error));
    EXPECT_EQ(error.rfind("cannot claim /dev/parport0: ", 0), 0u) << error;
    for (const std::string& part : c.said) {
        EXPECT_NE(error.find(part), std::string::npos) << part << " in: " << error;
    }
    for (const std::string& part : c.not_said) {
        EXPECT_EQ(error.find(part), std::string::npos) << part << " in: " << error;
    }
    EXPECT_FALSE(device_.blocked) << "a claim that would wait hangs the program";
    EXPECT_EQ(device_.registered(), (std::vector<std::string>{c.holder})) << "nothing left behind";
    EXPECT_EQ(std::count(device_.log.begin(), device_.log.end(), "PPCLAIM"), 0)
        << "a claim the kernel must refuse leaves errors in its log";
}

INSTANTIATE_TEST_SUITE_P(
    Holders, PpdevHolderTest,
    ::testing::Values(HolderCase{"another_program",
                                 "ppdev0",
                                 true,
                                 true,
                                 {"another program holds the port (ppdev0)", "close it"},
                                 {"rmmod"}},
                      HolderCase{"idle_printer_driver",
                                 "lp",
                                 false,
                                 false,
                                 {"the printer driver lp is registered on it: unload it with "
                                  "'sudo rmmod lp'; to keep it from loading at boot, add the line "
                                  "'blacklist lp' to a file in /etc/modprobe.d/"},
                                 {"close it", "print job"}},
                      HolderCase{"printing_printer_driver",
                                 "lp",
                                 false,
                                 true,
                                 {"the printer driver lp is printing on it: let the print job end",
                                  "sudo rmmod lp"},
                                 {"close it"}},
                      HolderCase{"other_kernel_driver",
                                 "plip0",
                                 false,
                                 false,
                                 {"the kernel driver plip0 is registered on it: unload it ('sudo "
                                  "rmmod plip')"},
                                 {"rmmod lp", "close it"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(PpdevPortTest, SecondProgramOnTheSamePortIsToldTheFirstHoldsIt) {
    std::string error;
    auto first = open(error);
    ASSERT_TRUE(first) << error;
    EXPECT_FALSE(open(error));
    EXPECT_NE(error.find("another program holds the port (ppdev0)"), std::string::npos) << error;
    first->write_data(0x5A);
    EXPECT_EQ(device_.data_written, (std::vector<std::uint8_t>{0x5A})) << "the first keeps it";
}

TEST_F(PpdevPortTest, ClaimRefusedByTheKernelAfterTheCheckStillNamesTheHolder) {
    // Registered between our look at the port and our claim.
    device_.register_other("lp");
    std::filesystem::remove_all(paths_.parport_proc / "parport0/devices/lp");
    std::string error;
    EXPECT_FALSE(open(error));
    EXPECT_EQ(error.rfind("cannot claim /dev/parport0: No such device or address: the printer "
                          "driver lp is registered on it: unload it with 'sudo rmmod lp'",
                          0),
              0u)
        << error;
    EXPECT_EQ(device_.log, (Log{"open /dev/parport0", "PPEXCL", "PPCLAIM", "close"}));
}

// What the machine has decides the advice for a device that can't be opened
// (the start of the message is compared).
struct OpenCase {
    const char* label;
    int err;
    const char* device;
    std::vector<std::string> machine;  // files put in the scratch tree
    std::string advice;
};

class PpdevOpenTest : public PpdevPortTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(PpdevOpenTest, AdviceFitsTheMachine) {
    const OpenCase& c = GetParam();
    for (const std::string& file : c.machine) {
        scratch_.put(file, "888\n");
    }
    device_.open_errno[c.device] = c.err;
    std::string error;
    EXPECT_FALSE(open(error, c.device));
    const std::string expected =
        "cannot open " + std::string(c.device) + ": " + std::strerror(c.err) + c.advice;
    EXPECT_EQ(error.substr(0, expected.size()), expected);
    EXPECT_EQ(device_.log, (Log{"open " + std::string(c.device)}));
}

INSTANTIATE_TEST_SUITE_P(
    Machines, PpdevOpenTest,
    ::testing::Values(
        OpenCase{"not_in_group",
                 EACCES,
                 "/dev/parport0",
                 {},
                 " (add your user to the group that owns the device, e.g. 'sudo usermod -aG lp "
                 "$USER', and log in again)"},
        OpenCase{"no_driver",
                 ENOENT,
                 "/dev/parport0",
                 {},
                 " (load the drivers with 'sudo modprobe -a parport_pc ppdev')"},
        OpenCase{"port_but_no_ppdev",
                 ENOENT,
                 "/dev/parport0",
                 {"proc/parport0/base-addr", "modules/parport_pc/refcnt"},
                 " (load the ppdev driver with 'sudo modprobe ppdev')"},
        OpenCase{"other_port_asked_for",
                 ENOENT,
                 "/dev/parport1",
                 {"proc/parport0/base-addr", "modules/parport_pc/refcnt", "modules/ppdev/refcnt"},
                 " (no such port: the machine has parport0 at 0x378 (set DLPORTIO_BASE=0x378"},
        OpenCase{"drivers_loaded_no_port",
                 ENXIO,
                 "/dev/parport0",
                 {"modules/parport_pc/refcnt", "modules/ppdev/refcnt"},
                 " (the kernel's parallel-port driver parport_pc is loaded but found no port (is "
                 "the port enabled in the firmware setup? a PCI card needs its own driver, e.g. "
                 "parport_serial))"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(PpdevPortTest, FailingAccessesAreToldOnceAndReadAsNoBoard) {
    std::string error;
    auto port = open(error);
    ASSERT_TRUE(port) << error;
    device_.ioctl_errno[PPWDATA] = EIO;
    device_.ioctl_errno[PPRSTATUS] = EIO;
    testing::internal::CaptureStderr();
    port->write_data(0xC8);
    port->write_data(0xC8);
    EXPECT_EQ(port->read_status(), 0x7F);
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find("PPWDATA on /dev/parport0 failed"), std::string::npos) << told;
    EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;
    EXPECT_EQ(port->failures().count, 3u) << "every failure counts, told or not";
    EXPECT_EQ(port->failures().last_error, EIO);
}

TEST_F(PpdevPortTest, ADeviceThatGoesAwayIsCountedFromItsFirstFailedAccess) {
    std::string error;
    auto port = open(error);
    ASSERT_TRUE(port) << error;
    device_.fail_after = 2;
    std::uint8_t lines = 0;
    testing::internal::CaptureStderr();
    port->write_data(0xC8);
    EXPECT_TRUE(port->read_data(lines) && lines == 0xC8) << "the data register read back";
    EXPECT_EQ(port->failures().count, 0u);
    port->write_data(0x48);
    EXPECT_FALSE(port->read_data(lines));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(port->failures().count, 2u);
    EXPECT_EQ(port->failures().last_error, ENODEV);
}

}  // namespace
