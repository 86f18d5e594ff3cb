// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The ppdev back end: the claim, one ioctl per access, and why a device can't be opened.
#include "ppdev_port.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "messages.h"
#include "parport_discovery.h"
#include "settings.h"

namespace dlportio {

namespace {

std::string port_number_of(const std::string& device) {
    return std::filesystem::path(device).filename().string();
}

// Why the device could not be opened, fitted to what the machine has.
std::string open_advice(int err, const std::string& device, const SystemPaths& paths) {
    if (err == EACCES || err == EPERM) {
        return " (add your user to the group that owns the device, e.g. 'sudo usermod -aG lp "
               "$USER', and log in again)";
    }
    if (err != ENOENT && err != ENXIO && err != ENODEV) {
        return {};
    }
    const std::vector<KnownPort> ports = known_ports(paths);
    const std::string name = port_number_of(device);
    const bool known = std::any_of(ports.begin(), ports.end(), [&](const KnownPort& port) {
        return port_number_of(port.device) == name;
    });
    if (known) {
        return module_loaded(paths, "ppdev")
                   ? " (the ppdev driver is loaded, but the device file is missing: is /dev "
                     "populated by udev or devtmpfs?)"
                   : " (load the ppdev driver with 'sudo modprobe ppdev')";
    }
    if (!ports.empty()) {
        return " (no such port: the machine has " + list_ports(ports) + ")";
    }
    return " (" + no_port_advice(paths) + ")";
}

// The kernel's name for the printer driver on every port (drivers/char/lp.c).
bool is_printer_driver(const std::string& name) {
    return name == "lp";
}

bool is_ppdev_user(const std::string& name) {
    return name.starts_with("ppdev");
}

constexpr const char* kUnloadPrinterDriver =
    "unload it with 'sudo rmmod lp'; to keep it from loading at boot, add the line 'blacklist "
    "lp' to a file in /etc/modprobe.d/ and remove lp from /etc/modules";

// Who holds the port and what to do, one entry per registered user.
std::string holder_advice(const PortUsers& users) {
    if (users.registered.empty()) {
        return "another driver or program holds the port (see "
               "/proc/sys/dev/parport/parport*/devices/)";
    }
    std::string text;
    for (const std::string& user : users.registered) {
        if (!text.empty()) {
            text += "; ";
        }
        if (is_ppdev_user(user)) {
            text += "another program holds the port (" + user +
                    "), e.g. a quillon window left open: close it";
        } else if (is_printer_driver(user)) {
            text += users.active == user
                        ? "the printer driver lp is printing on it: let the print job end, then "
                        : "the printer driver lp is registered on it: ";
            text += kUnloadPrinterDriver;
        } else {
            std::string module = user;
            while (!module.empty() && module.back() >= '0' && module.back() <= '9') {
                module.pop_back();
            }
            text += "the kernel driver " + user + " is registered on it: unload it ('sudo rmmod " +
                    module + "')";
        }
    }
    return text;
}

}  // namespace

// The claim is always exclusive: nothing else may touch the lines between our
// accesses, and sharing with an idle printer driver can deadlock the kernel
// when the claim is released while a print job waits. The kernel refuses an
// exclusive claim while any other device is registered on the port, with
// ENXIO at the first PPCLAIM (drivers/parport/share.c, drivers/char/ppdev.c),
// and logs an error for it; a port that already shows another user is
// therefore refused without trying.
std::unique_ptr<PpdevPort> PpdevPort::open(const std::string& device, DeviceCalls& calls,
                                           const SystemPaths& paths, std::string& error) {
    const std::filesystem::path users_folder = devices_folder(paths, device);
    if (const PortUsers users = port_users(users_folder); !users.registered.empty()) {
        error = "cannot claim " + device + ": " + holder_advice(users);
        return nullptr;
    }
    const int fd = calls.open(device.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        error =
            "cannot open " + device + ": " + std::strerror(err) + open_advice(err, device, paths);
        return nullptr;
    }
    // PPEXCL only records the wish: the kernel refuses at PPCLAIM.
    if (calls.ioctl(fd, PPEXCL, nullptr) == 0 && calls.ioctl(fd, PPCLAIM, nullptr) == 0) {
        return std::make_unique<PpdevPort>(calls, fd, device);
    }
    const int err = errno;
    calls.close(fd);
    error = "cannot claim " + device + ": " + std::strerror(err);
    if (err == ENXIO || err == EBUSY) {
        error += ": " + holder_advice(port_users(users_folder));
    }
    return nullptr;
}

PpdevPort::~PpdevPort() {
    if (calls_.ioctl(fd_, PPRELEASE, nullptr) != 0) {
        report_failure("PPRELEASE");
    }
    calls_.close(fd_);
}

void PpdevPort::write_data(std::uint8_t value) {
    unsigned char byte = value;
    if (calls_.ioctl(fd_, PPWDATA, &byte) != 0) {
        report_failure("PPWDATA");
    }
}

std::uint8_t PpdevPort::read_status() {
    unsigned char byte = 0;
    if (calls_.ioctl(fd_, PPRSTATUS, &byte) != 0) {
        report_failure("PPRSTATUS");
        return kIdleStatus;
    }
    return byte;
}

bool PpdevPort::read_data(std::uint8_t& value) {
    unsigned char byte = 0;
    if (calls_.ioctl(fd_, PPRDATA, &byte) != 0) {
        report_failure("PPRDATA");
        return false;
    }
    value = byte;
    return true;
}

void PpdevPort::report_failure(const char* request) {
    // The access functions cannot return an error: count every failure for
    // the programs that ask (dlportio_failed_accesses), and tell the first.
    failures_.last_error = errno;
    if (failures_.count++ > 0) {
        return;
    }
    tell(std::string(request) + " on " + device_ + " failed: " + std::strerror(errno) +
         "; further failures are counted, not told");
}

// The ppdev row of the back-end table: the port at `device` (/dev/parportN).
Opened open_ppdev(const Machine& machine, const std::string& device) {
    std::string error;
    auto port = PpdevPort::open(device, machine.calls, machine.settings.paths, error);
    if (!port) {
        return {nullptr, "ppdev: " + error};
    }
    std::string name = "ppdev " + device;
    for (const KnownPort& known : known_ports(machine.settings.paths)) {
        if (known.device == device && known.base == 0) {
            name += "; warning: " + std::string(usb_parport_warning());
        }
    }
    return {std::move(port), name};
}

}  // namespace dlportio
