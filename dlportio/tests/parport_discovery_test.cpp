// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Port discovery against a scratch sysfs and /proc laid out as the kernel lays them out.
#include "parport_discovery.h"

#include <gtest/gtest.h>

#include "quillon_test/scratch_folder.h"

namespace {

using quillon_test::ScratchFolder;

using dlportio::device_for_base;
using dlportio::has_parallel_port;
using dlportio::known_ports;
using dlportio::SystemPaths;

SystemPaths paths_in(const ScratchFolder& scratch) {
    return SystemPaths{scratch / "proc",    scratch / "dev",       scratch / "pnp",
                       scratch / "usbmisc", scratch / "ioports",   scratch / "lockdown",
                       scratch / "modules", scratch / "secureboot"};
}

TEST(ParportDiscoveryTest, FindsTheDeviceForEachBaseAddress) {
    ScratchFolder scratch;
    scratch.put("proc/parport0/base-addr", "888\t1912\n");
    scratch.put("proc/parport1/base-addr", "53248\t-1\n");  // a PCI card at 0xD000
    scratch.put("proc/parport2/base-addr", "garbage\n");
    scratch.put("proc/default/timeslice", "200\n");
    const auto ports = known_ports(paths_in(scratch));
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].base, 0x378u);
    EXPECT_EQ(ports[0].device, (scratch / "dev/parport0").string());
    EXPECT_EQ(device_for_base(ports, 0x378), (scratch / "dev/parport0").string());
    EXPECT_EQ(device_for_base(ports, 0xD000), (scratch / "dev/parport1").string());
    EXPECT_FALSE(device_for_base(ports, 0x278));
}

TEST(ParportDiscoveryTest, PortsAreOrderedByNumberNotByName) {
    ScratchFolder scratch;
    scratch.put("proc/parport10/base-addr", "632\n");
    scratch.put("proc/parport2/base-addr", "632\n");
    const auto ports = known_ports(paths_in(scratch));
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(device_for_base(ports, 0x278), (scratch / "dev/parport2").string());
}

TEST(ParportDiscoveryTest, MissingTreeMeansNoKnownPort) {
    ScratchFolder scratch;
    EXPECT_TRUE(known_ports(paths_in(scratch)).empty());
    EXPECT_FALSE(has_parallel_port(paths_in(scratch)));
}

TEST(ParportDiscoveryTest, PortIsSeenWithoutItsDriverLoaded) {
    ScratchFolder scratch;
    scratch.put("pnp/00:05/id", "PNP0501\n");
    EXPECT_FALSE(has_parallel_port(paths_in(scratch)));
    scratch.put("pnp/00:06/id", "PNP0401\n");
    EXPECT_TRUE(has_parallel_port(paths_in(scratch)));
}

TEST(ParportDiscoveryTest, DeviceNodeOrProcEntryMeansAPort) {
    ScratchFolder a;
    a.put("dev/parport0", "");
    EXPECT_TRUE(has_parallel_port(paths_in(a)));
    ScratchFolder b;
    b.put("proc/parport0/base-addr", "888\n");
    EXPECT_TRUE(has_parallel_port(paths_in(b)));
}

}  // namespace
