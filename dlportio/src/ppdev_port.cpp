#include "ppdev_port.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "messages.h"
#include "parport_discovery.h"

namespace dlportio {

namespace {

std::string open_advice(int err) {
    if (err == EACCES || err == EPERM) {
        return " (add your user to the group that owns the device, e.g. 'sudo usermod -aG lp "
               "$USER', and log in again)";
    }
    if (err == ENOENT || err == ENXIO || err == ENODEV) {
        return " (load the drivers with 'sudo modprobe parport_pc ppdev')";
    }
    return {};
}

bool is_printer_driver(const std::string& name) {
    return name.size() > 2 && name.starts_with("lp") &&
           std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool is_ppdev_user(const std::string& name) {
    return name.starts_with("ppdev");
}

// Why the exclusive claim was refused, from the port's registered users.
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
            text += "the printer driver " + user +
                    (users.active == user ? " is printing on it" : " holds it") +
                    ": unload it with 'sudo rmmod lp' (and blacklist lp to keep it unloaded)";
        } else {
            text += "the kernel driver " + user + " holds it: unload that driver";
        }
    }
    return text;
}

// The claim for a device opened afresh; 0 or the errno of the refusal.
int claim(DeviceCalls& calls, int fd, bool exclusive) {
    // PPEXCL only records the wish: the kernel refuses at PPCLAIM.
    if (exclusive && calls.ioctl(fd, PPEXCL, nullptr) != 0) {
        return errno;
    }
    return calls.ioctl(fd, PPCLAIM, nullptr) == 0 ? 0 : errno;
}

}  // namespace

// Exclusive use keeps every other driver off the lines between our accesses.
// The kernel refuses it while anything else is registered on the port. When
// the only others are printer drivers (lp) that are idle, the port is claimed
// without PPEXCL instead: the claim is then held for the whole process, and as
// ppdev cannot be pre-empted, lp's next print job waits for it, so nothing
// touches the lines meanwhile. A printing lp, another program's ppdev (whose
// claim would make ours wait, with the program hanging) or another kernel
// driver is refused with its name and what to do.
std::unique_ptr<PpdevPort> PpdevPort::open(const std::string& device, DeviceCalls& calls,
                                           const std::filesystem::path& devices_folder,
                                           std::string& error) {
    int fd = calls.open(device.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        error = "cannot open " + device + ": " + std::strerror(err) + open_advice(err);
        return nullptr;
    }
    int err = claim(calls, fd, true);
    if (err == 0) {
        return std::make_unique<PpdevPort>(calls, fd, device, "");
    }
    calls.close(fd);  // also the only way to drop PPEXCL's wish
    if (err != ENXIO && err != EBUSY) {
        error = "cannot claim " + device + ": " + std::strerror(err);
        return nullptr;
    }
    const PortUsers users = port_users(devices_folder);
    const bool only_idle_printers =
        !users.registered.empty() && users.active.empty() &&
        std::all_of(users.registered.begin(), users.registered.end(), is_printer_driver);
    if (only_idle_printers) {
        fd = calls.open(device.c_str(), O_RDWR | O_CLOEXEC);
        if (fd >= 0) {
            err = claim(calls, fd, false);
            if (err == 0) {
                return std::make_unique<PpdevPort>(calls, fd, device, users.registered.front());
            }
            calls.close(fd);
        }
    }
    error = "cannot claim " + device + ": " + std::strerror(err) + ": " + holder_advice(users);
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
