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
};

struct KnownPort {
    unsigned long base;  // I/O address of the data register
    std::string device;  // /dev/parportN
};

// The ports the parport driver knows, by number, from parportN/base-addr.
std::vector<KnownPort> known_ports(const SystemPaths& paths);

// The device serving this base address, if the driver knows one.
std::optional<std::string> device_for_base(const std::vector<KnownPort>& ports, unsigned long base);

// True when the machine shows any parallel port, even with no driver loaded
// (firmware-listed PNP0400/PNP0401 devices, /dev/parport*).
bool has_parallel_port(const SystemPaths& paths);

}  // namespace dlportio
