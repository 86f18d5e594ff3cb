#include "direct_port.h"

#include <cerrno>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define DLPORTIO_HAVE_PORT_IO 1
#else
#define DLPORTIO_HAVE_PORT_IO 0
#endif

namespace dlportio {

namespace {
constexpr unsigned long kRegisterCount = 3;  // data, status, control
}

#if DLPORTIO_HAVE_PORT_IO

std::unique_ptr<DirectPort> DirectPort::open(unsigned long base, std::string& error) {
    if (base > 0xFFFF - (kRegisterCount - 1)) {
        error = "no I/O port range at this address";
        return nullptr;
    }
    if (::ioperm(base, kRegisterCount, 1) != 0) {
        error = std::string("ioperm refused: ") + std::strerror(errno) +
                " (needs root or CAP_SYS_RAWIO; DLPORTIO_BACKEND=ppdev needs neither)";
        return nullptr;
    }
    return std::make_unique<DirectPort>(base);
}

DirectPort::~DirectPort() {
    ::ioperm(base_, kRegisterCount, 0);
}

void DirectPort::write_data(std::uint8_t value) {
    ::outb(value, static_cast<unsigned short>(base_));
}

std::uint8_t DirectPort::read_status() {
    return ::inb(static_cast<unsigned short>(base_ + 1));
}

#else

std::unique_ptr<DirectPort> DirectPort::open(unsigned long, std::string& error) {
    error = "direct port I/O exists only on x86 (use DLPORTIO_BACKEND=ppdev)";
    return nullptr;
}

DirectPort::~DirectPort() = default;
void DirectPort::write_data(std::uint8_t) {}
std::uint8_t DirectPort::read_status() {
    return kIdleStatus;
}

#endif

}  // namespace dlportio
