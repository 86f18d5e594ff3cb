/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// Which parallel ports this machine has, as the kernel tells it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace dlportio {

// Where the kernel shows its ports; tests point these at fake trees.
struct SystemPaths {
    std::filesystem::path parport_proc = "/proc/sys/dev/parport";
    std::filesystem::path dev = "/dev";
    std::filesystem::path pnp_devices = "/sys/bus/pnp/devices";
    std::filesystem::path usbmisc = "/sys/class/usbmisc";  // USB printer adapters: lpN
    std::filesystem::path ioports = "/proc/ioports";       // who owns which I/O range
    std::filesystem::path lockdown = "/sys/kernel/security/lockdown";
    std::filesystem::path modules = "/sys/module";  // one folder per loaded module
    // The firmware's Secure Boot switch: 4 bytes of attributes, then 1 when on.
    std::filesystem::path secure_boot =
        "/sys/firmware/efi/efivars/SecureBoot-8be4df61-93ca-11d2-aa0d-00e098032b8c";
};

struct KnownPort {
    unsigned long base;  // I/O address of the data register
    std::string device;  // /dev/parportN
};

// The ports the parport driver knows, by number, from parportN/base-addr.
std::vector<KnownPort> known_ports(const SystemPaths& paths);

// The device serving this base address, if the driver knows one.
std::optional<std::string> device_for_base(const std::vector<KnownPort>& ports, unsigned long base);

// The devices the kernel has registered on one port, from
// /proc/sys/dev/parport/parportN/devices/: one folder per device and the file
// `active`, which names the one that has claimed the port, or "none"
// (drivers/parport/procfs.c). The printer driver registers as "lp" on every
// port (drivers/char/lp.c), a program using /dev/parportN as "ppdevN"
// (drivers/char/ppdev.c).
struct PortUsers {
    std::vector<std::string> registered;  // sorted
    std::string active;                   // empty for none or unknown
};
PortUsers port_users(const std::filesystem::path& devices_folder);

// That folder for a device /dev/parportN (found by the device's file name).
std::filesystem::path devices_folder(const SystemPaths& paths, const std::string& device);

// A USB printer adapter's device (/dev/usb/lp0), if the machine has one.
std::optional<std::string> usb_printer_adapter(const SystemPaths& paths);

// "parport0 at 0x378 (set DLPORTIO_BASE=0x378, or DLPORTIO_DEVICE=/dev/parport0)",
// one entry per port, separated by "; ".
std::string list_ports(const std::vector<KnownPort>& ports);

// The warning for a port the kernel lists with base address 0.
const char* usb_parport_warning();

// True when the kernel module is loaded (or built in with parameters).
bool module_loaded(const SystemPaths& paths, const std::string& name);

// What to do when the kernel knows no parallel port: load the drivers, or,
// when they are loaded already, that they found none.
std::string no_port_advice(const SystemPaths& paths);

// True when the machine shows any parallel port, even with no driver loaded
// (firmware-listed PNP0400/PNP0401 devices, /dev/parport*).
bool has_parallel_port(const SystemPaths& paths);

}  // namespace dlportio
