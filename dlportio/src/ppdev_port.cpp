#include "ppdev_port.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include "messages.h"

namespace dlportio {

namespace {
std::string open_advice(int err) {
    if (err == EACCES || err == EPERM) {
        return " (add your user to the group that owns the device, e.g. 'sudo usermod -aG lp "
               "$USER', and log in again)";
    }
    if (err == ENOENT || err == ENXIO || err == ENODEV) {
        return " (load the driver with 'sudo modprobe ppdev')";
    }
    return {};
}
}  // namespace

std::unique_ptr<PpdevPort> PpdevPort::open(const std::string& device, DeviceCalls& calls,
                                           std::string& error) {
    const int fd = calls.open(device.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        error = "cannot open " + device + ": " + std::strerror(err) + open_advice(err);
        return nullptr;
    }
    // Exclusive use keeps other drivers off the lines between our accesses; a
    // port shared with another driver still works, so a refusal is no failure.
    const bool exclusive = calls.ioctl(fd, PPEXCL, nullptr) == 0;
    if (calls.ioctl(fd, PPCLAIM, nullptr) != 0) {
        const int err = errno;
        error = "cannot claim " + device + ": " + std::strerror(err) +
                " (another driver holds the port; unload it, e.g. 'sudo rmmod lp')";
        calls.close(fd);
        return nullptr;
    }
    return std::make_unique<PpdevPort>(calls, fd, device, exclusive);
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

void PpdevPort::report_failure(const char* request) {
    // The access functions cannot return an error: tell once, keep going.
    if (failure_reported_) {
        return;
    }
    failure_reported_ = true;
    tell(std::string(request) + " on " + device_ + " failed: " + std::strerror(errno) +
         "; further failures are not reported");
}

}  // namespace dlportio
