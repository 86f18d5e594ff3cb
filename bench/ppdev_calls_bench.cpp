// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// System calls per port access on the ppdev back end: every call it makes on
// the device goes through its system-call seam, one seam call being one system
// call, so counting them on a stand-in device counts the system calls. (Only a
// refused claim also reads the kernel's list of the port's users; this device
// never refuses.)
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cstdio>
#include <string>

#include "device_calls.h"
#include "ppdev_port.h"

namespace {

class CountingDevice final : public dlportio::DeviceCalls {
public:
    long calls = 0;
    long claims = 0;
    int open(const char*, int) override {
        ++calls;
        return 3;
    }
    int ioctl(int, unsigned long request, void* argument) override {
        ++calls;
        claims += request == PPCLAIM ? 1 : 0;
        if (request == PPRSTATUS) {
            *static_cast<unsigned char*>(argument) = 0x7F;
        }
        return 0;
    }
    int close(int) override {
        ++calls;
        return 0;
    }
};

}  // namespace

int main() {
    constexpr long kAccesses = 1'000'000;
    CountingDevice device;
    std::string error;
    dlportio::SystemPaths paths;
    paths.parport_proc = "/nonexistent";  // no other user registered on the stand-in port
    auto port = dlportio::PpdevPort::open("/dev/parport0", device, paths, error);
    if (!port) {
        std::fprintf(stderr, "ppdev_calls_bench: %s\n", error.c_str());
        return 1;
    }
    const long before = device.calls;
    unsigned char sink = 0;
    for (long i = 0; i < kAccesses / 2; ++i) {
        port->write_data(static_cast<std::uint8_t>(i));
        sink ^= port->read_status();
    }
    const long per_run = device.calls - before;
    port.reset();
    std::printf(
        "ppdev: %ld accesses, %ld system calls: %.3f per access; %ld claim(s), "
        "%ld calls to open, claim, release and close (status xor %02X)\n",
        kAccesses, per_run, static_cast<double>(per_run) / kAccesses, device.claims,
        device.calls - per_run, sink);
    return 0;
}
