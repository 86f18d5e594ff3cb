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
// /proc/sys/dev/parport/parportN/devices/: one folder per device ("lp0" for
// the printer driver, "ppdev0" for a program using /dev/parport0) and the
// file `active`, which names the one that has claimed the port, or "none".
struct PortUsers {
    std::vector<std::string> registered;  // sorted
    std::string active;                   // empty for none or unknown
};
PortUsers port_users(const std::filesystem::path& devices_folder);

// That folder for a device /dev/parportN (found by the device's file name).
std::filesystem::path devices_folder(const SystemPaths& paths, const std::string& device);

// A USB printer adapter's device (/dev/usb/lp0), if the machine has one.
std::optional<std::string> usb_printer_adapter(const SystemPaths& paths);

// True when the machine shows any parallel port, even with no driver loaded
// (firmware-listed PNP0400/PNP0401 devices, /dev/parport*).
bool has_parallel_port(const SystemPaths& paths);

}  // namespace dlportio
