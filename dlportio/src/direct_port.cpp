#include "direct_port.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string_view>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define DLPORTIO_HAVE_PORT_IO 1
#else
#define DLPORTIO_HAVE_PORT_IO 0
#endif

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
#else
    int ioperm(unsigned long, unsigned long, int) override {
        errno = ENOSYS;
        return -1;
    }
    void outb(std::uint8_t, unsigned long) override {}
    std::uint8_t inb(unsigned long) override {
        return kIdleStatus;
    }
#endif
};

std::string hex(unsigned long value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

// "[none] integrity confidentiality": the mode in brackets is in force.
bool locked_down(const std::filesystem::path& lockdown) {
    std::ifstream in(lockdown);
    std::string text;
    std::getline(in, text);
    const auto open = text.find('[');
    return open != std::string::npos && text.compare(open, 6, "[none]") != 0;
}

std::string ioperm_refusal(int err, const SystemPaths& paths) {
    switch (err) {
        case ENOSYS:
            return "this kernel or machine has no port I/O (ioperm: " +
                   std::string(std::strerror(err)) + "); use DLPORTIO_BACKEND=ppdev";
        case EPERM:
            if (locked_down(paths.lockdown)) {
                return "the kernel is locked down (Secure Boot), which refuses port I/O even to "
                       "root (ioperm: Operation not permitted); use DLPORTIO_BACKEND=ppdev";
            }
            return "ioperm: Operation not permitted: direct I/O needs root or CAP_SYS_RAWIO; "
                   "DLPORTIO_BACKEND=ppdev needs neither";
        case EINVAL:
            return "no I/O port range at this address (ioperm: Invalid argument)";
        default:
            return "ioperm refused: " + std::string(std::strerror(err));
    }
}

// "  0378-037a : parport0": the kernel driver that owns a range with `base`.
std::string range_owner(const std::filesystem::path& ioports, unsigned long base) {
    std::ifstream in(ioports);
    std::string line;
    while (std::getline(in, line)) {
        unsigned long from = 0, to = 0;
        int used = 0;
        if (std::sscanf(line.c_str(), " %lx-%lx : %n", &from, &to, &used) != 2 || used == 0) {
            continue;
        }
        const std::string owner = line.substr(static_cast<std::size_t>(used));
        if (base >= from && base <= to && std::string_view(owner).starts_with("parport")) {
            return owner;
        }
    }
    return {};
}

}  // namespace

PortIo& system_port_io() {
    static SystemPortIo io;
    return io;
}

std::unique_ptr<DirectPort> DirectPort::open(unsigned long base, PortIo& io,
                                             const SystemPaths& paths, std::string& error,
                                             std::string& warning) {
    if (base > 0xFFFF - (kRegisterCount - 1)) {
        error = "no I/O port range at " + hex(base) + " (port addresses end at 0xFFFF)";
        return nullptr;
    }
    if (io.ioperm(base, kRegisterCount, 1) != 0) {
        error = ioperm_refusal(errno, paths);
        return nullptr;
    }
    if (const std::string owner = range_owner(paths.ioports, base); !owner.empty()) {
        warning = "the kernel driver " + owner +
                  " also drives this port and may change its lines between our accesses "
                  "(DLPORTIO_BACKEND=ppdev shares it safely)";
    }
    const std::uint8_t control = io.inb(base + 2);
    io.outb(static_cast<std::uint8_t>(control & ~kBidirectional), base + 2);
    return std::make_unique<DirectPort>(base, io, control);
}

DirectPort::~DirectPort() {
    io_.outb(saved_control_, base_ + 2);
    io_.ioperm(base_, kRegisterCount, 0);
}

}  // namespace dlportio
