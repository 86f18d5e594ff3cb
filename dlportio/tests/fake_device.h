/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Stands in for one parallel port behind the kernel's ppdev driver, following
// the kernel's rules (drivers/char/ppdev.c, drivers/parport/share.c):
// - open() only allocates; nothing is registered with the port yet.
// - PPEXCL before the first PPCLAIM only records the wish and returns 0; after
//   it, 0 if the device was registered exclusively, EINVAL otherwise.
// - The first PPCLAIM registers the device ("ppdevN"): ENXIO when an exclusive
//   device is registered, or when this one asks to be exclusive and any other
//   device (the printer driver, another program's ppdev0) is registered; the
//   kernel logs "cannot grant exclusive access" then (drivers/parport/share.c).
//   Every ppdev user of port N is named ppdevN (N in hexadecimal).
// - The printer driver registers on every port as "lp" (drivers/char/lp.c).
//   A claim while another device has claimed the port would block: the fake
//   logs it and answers EINTR, as the kernel does when the wait is interrupted.
// - Every access (PPWDATA, PPRSTATUS, PPRCONTROL, PPWCONTROL, PPRELEASE, ...)
//   before the claim is refused with EINVAL.
// - close() releases the claim and unregisters the device.
// - fail_after: from the Nth access to the port's registers on, every one
//   fails with fail_errno. The kernel's ppdev itself fails these only with
//   EFAULT (drivers/char/ppdev.c), and a port removed under it reads as dead
//   lines; the switch stands for a device whose driver refuses them, as one
//   that went away does, which the layer must not take for success.
// The registered devices are mirrored as the kernel shows them, as folders in
// /proc/sys/dev/parport/parportN/devices/ beside a file `active` naming the
// device that has claimed the port, or "none".
#pragma once

#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "device_calls.h"

class FakeDevice final : public dlportio::DeviceCalls {
public:
    std::vector<std::string> log;
    std::map<std::string, int> open_errno;     // device -> errno its open fails with
    std::map<unsigned long, int> ioctl_errno;  // request -> errno it fails with, after the rules
    // A port with nothing attached: Acknowledge (0x40), Select and Error float
    // high, Busy reads 1 inverted; QEMU's ISA port through parport_pc and ppdev
    // read 0xD8 on every read (drivers/parport/parport_pc.c reads it as is).
    std::uint8_t status = 0xD8;
    std::uint8_t control = 0x0C;  // the port driver's idle state: forward, lines inactive
    std::vector<std::uint8_t> data_written;
    bool blocked = false;  // a claim had to wait for another device
    std::size_t fail_after = SIZE_MAX;
    int fail_errno = ENODEV;
    unsigned minor = 0;  // the port's number: /dev/parportN

    // Devices registered on the port, other than through this fake's opens.
    void register_other(const std::string& name, bool exclusive = false, bool claimed = false) {
        registered_.push_back(name);
        exclusive_registered_ = exclusive_registered_ || exclusive;
        if (claimed) {
            active_ = name;
        }
        mirror();
    }
    // Where the kernel's view of the port is mirrored; empty: not mirrored.
    void mirror_into(const std::filesystem::path& devices_folder) {
        devices_folder_ = devices_folder;
        mirror();
    }
    const std::vector<std::string>& registered() const { return registered_; }

    int open(const char* path, int) override {
        log.push_back(std::string("open ") + path);
        if (auto failure = open_errno.find(path); failure != open_errno.end()) {
            errno = failure->second;
            return -1;
        }
        const int fd = next_fd_++;
        files_[fd] = File{};
        return fd;
    }

    int ioctl(int fd, unsigned long request, void* argument) override {
        log.push_back(name(request));
        const auto found = files_.find(fd);
        if (found == files_.end()) {
            log.back() += " on a wrong descriptor";
            return fail(EBADF);
        }
        File& file = found->second;
        if (request == PPEXCL) {
            if (!file.registered_as.empty()) {
                return file.exclusive ? 0 : fail(EINVAL);
            }
            file.exclusive = true;
            return 0;
        }
        if (request == PPCLAIM) {
            if (file.claimed) {
                return fail(EINVAL);
            }
            if (file.registered_as.empty()) {
                if (exclusive_registered_ || (file.exclusive && !registered_.empty())) {
                    return fail(ENXIO);
                }
                char own_name[16];
                std::snprintf(own_name, sizeof own_name, "ppdev%x", minor);
                file.registered_as = own_name;
                registered_.push_back(file.registered_as);
                exclusive_registered_ = file.exclusive;
            }
            if (!active_.empty() && active_ != file.registered_as) {
                blocked = true;
                log.back() += " blocks";
                mirror();
                return fail(EINTR);
            }
            if (const int err = injected(request)) {
                return fail(err);
            }
            file.claimed = true;
            active_ = file.registered_as;
            mirror();
            return 0;
        }
        if (!file.claimed) {
            return fail(EINVAL);  // "claim the port first"
        }
        if (const int err = injected(request)) {
            return fail(err);
        }
        if (request != PPRELEASE && ++accesses_ > fail_after) {
            return fail(fail_errno);
        }
        auto* byte = static_cast<unsigned char*>(argument);
        switch (request) {
            case PPRELEASE:
                file.claimed = false;
                active_.clear();
                mirror();
                break;
            case PPWDATA:
                data_written.push_back(*byte);
                break;
            case PPRSTATUS:
                *byte = status;
                break;
            case PPRDATA:
                *byte = data_written.empty() ? 0xFF : data_written.back();
                break;
            case PPRCONTROL:
                *byte = control;
                break;
            case PPWCONTROL:
                control = *byte;
                break;
            default:
                break;
        }
        return 0;
    }

    int close(int fd) override {
        const auto found = files_.find(fd);
        if (found == files_.end()) {
            log.push_back("close of a wrong descriptor");
            return fail(EBADF);
        }
        log.push_back("close");
        const File& file = found->second;
        if (file.claimed) {
            active_.clear();
        }
        if (!file.registered_as.empty()) {
            registered_.erase(
                std::find(registered_.begin(), registered_.end(), file.registered_as));
            if (file.exclusive) {
                exclusive_registered_ = false;
            }
        }
        files_.erase(found);
        mirror();
        return 0;
    }

    static std::string name(unsigned long request) {
        switch (request) {
            case PPEXCL:
                return "PPEXCL";
            case PPCLAIM:
                return "PPCLAIM";
            case PPRELEASE:
                return "PPRELEASE";
            case PPWDATA:
                return "PPWDATA";
            case PPRSTATUS:
                return "PPRSTATUS";
            case PPRDATA:
                return "PPRDATA";
            case PPRCONTROL:
                return "PPRCONTROL";
            case PPWCONTROL:
                return "PPWCONTROL";
            default:
                return "other ioctl";
        }
    }

private:
    struct File {
        bool exclusive = false;
        std::string registered_as;
        bool claimed = false;
    };

    static int fail(int err) {
        errno = err;
        return -1;
    }
    int injected(unsigned long request) const {
        const auto failure = ioctl_errno.find(request);
        return failure != ioctl_errno.end() ? failure->second : 0;
    }
    void mirror() const {
        if (devices_folder_.empty()) {
            return;
        }
        std::error_code ec;
        std::filesystem::remove_all(devices_folder_, ec);
        std::filesystem::create_directories(devices_folder_);
        for (const std::string& device : registered_) {
            std::filesystem::create_directories(devices_folder_ / device);
            std::ofstream(devices_folder_ / device / "timeslice") << "200\n";
        }
        std::ofstream(devices_folder_ / "active") << (active_.empty() ? "none" : active_) << '\n';
    }

    std::map<int, File> files_;
    int next_fd_ = 7;
    std::size_t accesses_ = 0;
    std::vector<std::string> registered_;
    bool exclusive_registered_ = false;
    std::string active_;
    std::filesystem::path devices_folder_;
};
