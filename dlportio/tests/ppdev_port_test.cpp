#include "ppdev_port.h"

#include <gtest/gtest.h>

#include "fake_device.h"
#include "quillon_test/scratch_folder.h"

namespace {

using dlportio::PpdevPort;
using quillon_test::ScratchFolder;
using Log = std::vector<std::string>;

class PpdevPortTest : public ::testing::Test {
protected:
    PpdevPortTest() { device_.mirror_into(devices_); }

    std::unique_ptr<PpdevPort> open(std::string& error) {
        return PpdevPort::open("/dev/parport0", device_, devices_, error);
    }

    ScratchFolder scratch_;
    std::filesystem::path devices_ = scratch_ / "proc/parport0/devices";
    FakeDevice device_;
};

TEST_F(PpdevPortTest, ClaimsOnceThenOneIoctlPerAccessThenReleases) {
    device_.status = 0x3F;
    std::string error;
    {
        auto port = open(error);
        ASSERT_TRUE(port) << error;
        EXPECT_EQ(port->shared_with(), "");
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

TEST_F(PpdevPortTest, IdlePrinterDriverSharesThePortWithoutPPEXCL) {
    device_.register_other("lp0");
    std::string error;
    auto port = open(error);
    ASSERT_TRUE(port) << error;
    EXPECT_EQ(port->shared_with(), "lp0");
    port->write_data(0x01);
    EXPECT_EQ(device_.data_written, (std::vector<std::uint8_t>{0x01}));
    EXPECT_EQ(device_.log, (Log{"open /dev/parport0", "PPEXCL", "PPCLAIM", "close",
                                "open /dev/parport0", "PPCLAIM", "PPWDATA"}));
    EXPECT_FALSE(device_.blocked);
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
    EXPECT_EQ(error.rfind("cannot claim /dev/parport0: No such device or address: ", 0), 0u)
        << error;
    for (const std::string& part : c.said) {
        EXPECT_NE(error.find(part), std::string::npos) << part << " in: " << error;
    }
    for (const std::string& part : c.not_said) {
        EXPECT_EQ(error.find(part), std::string::npos) << part << " in: " << error;
    }
    EXPECT_FALSE(device_.blocked) << "a claim that would wait hangs the program";
    EXPECT_EQ(device_.registered(), (std::vector<std::string>{c.holder})) << "nothing left behind";
    EXPECT_EQ(device_.log.back(), "close");
}

INSTANTIATE_TEST_SUITE_P(
    Holders, PpdevHolderTest,
    ::testing::Values(HolderCase{"another_program",
                                 "ppdev0",
                                 true,
                                 true,
                                 {"another program holds the port (ppdev0)", "close it"},
                                 {"rmmod"}},
                      HolderCase{"printing_printer_driver",
                                 "lp0",
                                 false,
                                 true,
                                 {"the printer driver lp0 is printing on it", "sudo rmmod lp"},
                                 {"close it"}},
                      HolderCase{"other_kernel_driver",
                                 "plip0",
                                 false,
                                 false,
                                 {"the kernel driver plip0 holds it"},
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

TEST_F(PpdevPortTest, UnopenableDeviceSaysWhyAndWhatToDo) {
    device_.open_errno["/dev/parport0"] = EACCES;
    std::string error;
    EXPECT_FALSE(open(error));
    EXPECT_NE(error.find("cannot open /dev/parport0"), std::string::npos) << error;
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
    EXPECT_NE(error.find("group"), std::string::npos) << error;
    EXPECT_EQ(device_.log, (Log{"open /dev/parport0"}));

    device_.open_errno["/dev/parport0"] = ENOENT;
    EXPECT_FALSE(open(error));
    EXPECT_NE(error.find("sudo modprobe parport_pc ppdev"), std::string::npos) << error;
}

TEST_F(PpdevPortTest, FailingAccessesAreToldOnceAndReadAsNoBoard) {
    device_.status = 0x00;
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
}

}  // namespace
