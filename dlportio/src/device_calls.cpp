// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The ppdev back end's system calls, made for real.
#include "device_calls.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace dlportio {

namespace {
class SystemDeviceCalls final : public DeviceCalls {
public:
    int open(const char* path, int flags) override { return ::open(path, flags); }
    int ioctl(int fd, unsigned long request, void* argument) override {
        return ::ioctl(fd, request, argument);
    }
    int close(int fd) override { return ::close(fd); }
};
}  // namespace

DeviceCalls& system_device_calls() {
    static SystemDeviceCalls calls;
    return calls;
}

}  // namespace dlportio
