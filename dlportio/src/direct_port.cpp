// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// Direct I/O: ioperm and in/out on a range checked against /proc/ioports first.
#include "direct_port.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string_view>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define DLPORTIO_HAVE_PORT_IO 1
#else
#define DLPORTIO_HAVE_PORT_IO 0
#endif

#include "settings.h"

namespace dlportio {

namespace {

constexpr unsigned long kRegisterCount = 3;  // data, status, control
// Control register bit 5: set, the data lines are inputs and drive nothing.
constexpr std::uint8_t kBidirectional = 0x20;

class SystemPortIo final : public PortIo {
public:
#if DLPORTIO_HAVE_PORT_IO
    int ioperm(unsigned long from, unsigned long count, int on) override {
        return ::ioperm(from, count, on);
    }
    void outb(std::uint8_t value, unsigned long port) override {
        ::outb(value, static_cast<unsigned short>(port));
    }
    std::uint8_t inb(unsigned long port) override {
        return ::inb(static_cast<unsigned short>(port));
    }
    bool root() override {
        return geteuid() == 0;
    }
#else
    int ioperm(unsigned long, unsigned long, int) override {
        errno = ENOSYS;
        return -1;
    }
    void outb(std::uint8_t, unsigned long) override {}
    std::uint8_t inb(unsigned long) override {
        return kIdleStatus;
    }
    bool root() override {
        return geteuid() == 0;
    }
#endif
};

std::string hex(unsigned long value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

// "[none] integrity confidentiality": the mode in brackets is in force
// (security/lockdown/lockdown.c); empty when the file can't be read, as
// when securityfs is not mounted.
std::string lockdown_mode(const std::filesystem::path& lockdown) {
    std::ifstream in(lockdown);
    std::string text;
    std::getline(in, text);
    const auto open = text.find('[');
    const auto close = text.find(']', open);
    if (open == std::string::npos || close == std::string::npos) {
        return {};
    }
    return text.substr(open + 1, close - open - 1);
}

// The SecureBoot EFI variable: four bytes of attributes, then the switch.
bool secure_boot_on(const std::filesystem::path& variable) {
    std::ifstream in(variable, std::ios::binary);
    std::array<char, 5> bytes{};
    return in.read(bytes.data(), bytes.size()) && bytes[4] == 1;
}

std::string ioperm_refusal(int err, bool root, const SystemPaths& paths) {
    constexpr const char* kUsePpdev = "; use DLPORTIO_BACKEND=ppdev";
    switch (err) {
        case ENOSYS:
            return "this kernel or machine has no port I/O (ioperm: " +
                   std::string(std::strerror(err)) + ")" + kUsePpdev;
        case EPERM: {
            const std::string mode = lockdown_mode(paths.lockdown);
            if (!mode.empty() && mode != "none") {
                return "the kernel is locked down (" + mode + ")" +
                       (secure_boot_on(paths.secure_boot) ? ", as Secure Boot has it" : "") +
                       ", which refuses port I/O even to root (ioperm: Operation not "
                       "permitted)" +
                       kUsePpdev;
            }
            if (!root) {
                return "ioperm: Operation not permitted: direct I/O needs root or CAP_SYS_RAWIO; "
                       "DLPORTIO_BACKEND=ppdev needs neither";
            }
            if (mode.empty()) {
                return std::string(
                           "ioperm refused even to root (Operation not permitted): the "
                           "kernel may be locked down, which "
                           "/sys/kernel/security/lockdown tells once securityfs is "
                           "mounted ('sudo mount -t securityfs securityfs "
                           "/sys/kernel/security')") +
                       kUsePpdev;
            }
            return std::string(
                       "ioperm refused even to root (Operation not permitted), though "
                       "the kernel is not locked down (a container or a security module "
                       "may forbid port I/O)") +
                   kUsePpdev;
        }
        case EINVAL:
            return "no I/O port range at this address (ioperm: Invalid argument)";
        default:
            return "ioperm refused: " + std::string(std::strerror(err));
    }
}

// One line of /proc/ioports: "  02f8-02ff : serial", nested by two spaces a
// level (kernel/resource.c). Read without root, every range shows as 0000-0000.
struct IoRange {
    std::size_t depth;
    unsigned long from;
    unsigned long to;
    std::string owner;
};

std::vector<IoRange> io_ranges(const std::filesystem::path& ioports) {
    std::vector<IoRange> ranges;
    std::ifstream in(ioports);
    std::string line;
    while (std::getline(in, line)) {
        unsigned long from = 0, to = 0;
        int used = 0;
        if (std::sscanf(line.c_str(), " %lx-%lx : %n", &from, &to, &used) != 2 || used == 0) {
            continue;
        }
        ranges.push_back(
            {line.find_first_not_of(' '), from, to, line.substr(static_cast<std::size_t>(used))});
    }
    return ranges;
}

// Buses, firmware reservations and PCI functions own ranges without driving
// them; only the innermost range names the driver that does.
bool is_container(std::string_view owner) {
    const bool pci_function = owner.size() >= 12 && owner[4] == ':' && owner[7] == ':';
    return owner.starts_with("PCI Bus") || owner.starts_with("pnp ") || pci_function;
}

// The innermost owner of any register of the port, and its line.
std::optional<IoRange> range_owner(const std::filesystem::path& ioports, unsigned long base) {
    const std::vector<IoRange> ranges = io_ranges(ioports);
    std::optional<IoRange> found;
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const IoRange& range = ranges[i];
        const bool overlaps = range.from <= base + kRegisterCount - 1 && range.to >= base;
        const bool has_child = i + 1 < ranges.size() && ranges[i + 1].depth > range.depth;
        if (overlaps && !has_child && !is_container(range.owner)) {
            found = range;
        }
    }
    return found;
}

// An SPP port's data register reads back its output latch; an address with
// no port behind it reads FF from the floating ISA bus. The patterns keep
// both RAM strobes inactive (0xC0) and the reset line as it is, and move only
// the data and load lines, which do nothing without a clock edge.
bool data_register_answers(unsigned long base, PortIo& io) {
    const std::uint8_t held = io.inb(base);
    const auto reset_line = static_cast<std::uint8_t>(held & 0x08);
    bool answers = true;
    for (const std::uint8_t pattern : {std::uint8_t{0xC0}, std::uint8_t{0xC5}}) {
        const auto value = static_cast<std::uint8_t>(pattern | reset_line);
        io.outb(value, base);
        answers = answers && io.inb(base) == value;
    }
    io.outb(held, base);
    return answers;
}

// The kernel's claim on the port at `base`, when it knows one there: null
// with `error` set when another device holds it, null with `warning` set when
// ppdev is not there to claim it through.
std::unique_ptr<PpdevPort> claim_port(unsigned long base, DeviceCalls& calls,
                                      const SystemPaths& paths, std::string& error,
                                      std::string& warning) {
    const auto device = device_for_base(known_ports(paths), base);
    if (!device) {
        return nullptr;  // no parport driver on it: nothing of the kernel's to disturb
    }
    std::string why;
    auto claim = PpdevPort::open(*device, calls, paths, why);
    if (claim) {
        return claim;
    }
    if (why.starts_with("cannot claim")) {
        error = why;
        return nullptr;
    }
    warning = "the port is not claimed (" + why +
              "): a printer driver or another program that takes it meanwhile would write its "
              "lines in the middle of this program's transfers, and this program in theirs";
    return nullptr;
}

}  // namespace

PortIo& system_port_io() {
    static SystemPortIo io;
    return io;
}

std::unique_ptr<DirectPort> DirectPort::open(unsigned long base, PortIo& io, DeviceCalls& calls,
                                             const SystemPaths& paths, std::string& error,
                                             std::string& claimed, std::string& warning) {
    if (base > 0xFFFF - (kRegisterCount - 1)) {
        error = "no I/O port range at " + hex(base) + " (port addresses end at 0xFFFF)";
        return nullptr;
    }
    const auto owner = range_owner(paths.ioports, base);
    if (owner && !owner->owner.starts_with("parport")) {
        char range[24];
        std::snprintf(range, sizeof range, "%04lx-%04lx", owner->from, owner->to);
        error = hex(base) + " belongs to the kernel driver '" + owner->owner +
                "' (/proc/ioports: " + range + " : " + owner->owner +
                "), not to a parallel port: refused, as writing there would disturb it";
        return nullptr;
    }
    // Before ioperm: a refusal leaves the claim released again, and the
    // kernel's refusal of the range is told as it stands.
    auto claim = claim_port(base, calls, paths, error, warning);
    if (!error.empty()) {
        return nullptr;
    }
    if (io.ioperm(base, kRegisterCount, 1) != 0) {
        error = ioperm_refusal(errno, io.root(), paths);
        return nullptr;
    }
    const std::uint8_t control = io.inb(base + 2);
    io.outb(static_cast<std::uint8_t>(control & ~kBidirectional), base + 2);
    if (!data_register_answers(base, io)) {
        io.outb(control, base + 2);
        io.ioperm(base, kRegisterCount, 0);
        error = "no parallel port at " + hex(base) +
                ": its data register does not keep what is written to it (it reads back as an "
                "empty address does)";
        const std::vector<KnownPort> ports = known_ports(paths);
        if (!ports.empty()) {
            error += "; the machine has " + list_ports(ports);
        }
        return nullptr;
    }
    if (claim) {
        claimed = claim->device();
    }
    return std::make_unique<DirectPort>(base, io, control, std::move(claim));
}

DirectPort::~DirectPort() {
    io_.outb(saved_control_, base_ + 2);
    io_.ioperm(base_, kRegisterCount, 0);
}

// The direct row of the back-end table: the port at `address` ("0x378").
Opened open_direct(const Machine& machine, const std::string& address) {
    std::string error;
    std::string claimed;
    std::string warning;
    auto port = DirectPort::open(std::stoul(address, nullptr, 16), machine.io, machine.calls,
                                 machine.settings.paths, error, claimed, warning);
    if (!port) {
        return {nullptr, "direct: " + error};
    }
    std::string name = "direct I/O at " + address;
    if (!claimed.empty()) {
        name += ", " + claimed + " claimed for this program alone";
    }
    if (!warning.empty()) {
        name += "; warning: " + warning;
    }
    return {std::move(port), name};
}

}  // namespace dlportio
