#include "ppdev_port.h"

#include <gtest/gtest.h>

#include "fake_device.h"

namespace {

using dlportio::PpdevPort;
using Log = std::vector<std::string>;

TEST(PpdevPortTest, ClaimsOnceThenOneIoctlPerAccessThenReleases) {
    FakeDevice device;
    device.status = 0x3F;
    std::string error;
    {
        auto port = PpdevPort::open("/dev/parport0", device, error);
        ASSERT_TRUE(port) << error;
        EXPECT_TRUE(port->exclusive());
        port->write_data(0xC8);
        port->write_data(0x48);
        EXPECT_EQ(port->read_status(), 0x3F);
        EXPECT_EQ(port->read_status(), 0x3F);
    }
    EXPECT_EQ(device.log, (Log{"open /dev/parport0", "PPEXCL", "PPCLAIM", "PPWDATA", "PPWDATA",
                               "PPRSTATUS", "PPRSTATUS", "PPRELEASE", "close"}));
    EXPECT_EQ(device.data_written, (std::vector<std::uint8_t>{0xC8, 0x48}));
}

TEST(PpdevPortTest, SharedPortStillWorksWhenExclusiveUseIsRefused) {
    FakeDevice device;
    device.ioctl_errno[PPEXCL] = EBUSY;
    std::string error;
    auto port = PpdevPort::open("/dev/parport0", device, error);
    ASSERT_TRUE(port) << error;
    EXPECT_FALSE(port->exclusive());
    port->write_data(0x01);
    EXPECT_EQ(device.data_written, (std::vector<std::uint8_t>{0x01}));
}

TEST(PpdevPortTest, UnopenableDeviceSaysWhyAndWhatToDo) {
    FakeDevice device;
    device.open_errno["/dev/parport0"] = EACCES;
    std::string error;
    EXPECT_FALSE(PpdevPort::open("/dev/parport0", device, error));
    EXPECT_NE(error.find("cannot open /dev/parport0"), std::string::npos) << error;
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
    EXPECT_NE(error.find("group"), std::string::npos) << error;
    EXPECT_EQ(device.log, (Log{"open /dev/parport0"}));
}

TEST(PpdevPortTest, UnclaimableDeviceIsClosedAgain) {
    FakeDevice device;
    device.ioctl_errno[PPCLAIM] = EBUSY;
    std::string error;
    EXPECT_FALSE(PpdevPort::open("/dev/parport1", device, error));
    EXPECT_NE(error.find("cannot claim /dev/parport1"), std::string::npos) << error;
    EXPECT_EQ(device.log, (Log{"open /dev/parport1", "PPEXCL", "PPCLAIM", "close"}));
}

TEST(PpdevPortTest, FailingAccessesAreToldOnceAndReadAsNoBoard) {
    FakeDevice device;
    device.status = 0x00;
    std::string error;
    auto port = PpdevPort::open("/dev/parport0", device, error);
    ASSERT_TRUE(port) << error;
    device.ioctl_errno[PPWDATA] = EIO;
    device.ioctl_errno[PPRSTATUS] = EIO;
    testing::internal::CaptureStderr();
    port->write_data(0xC8);
    port->write_data(0xC8);
    EXPECT_EQ(port->read_status(), 0x7F);
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find("PPWDATA on /dev/parport0 failed"), std::string::npos) << told;
    EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;
}

}  // namespace
