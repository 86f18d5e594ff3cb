// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// One fake ppdev device for whole programs: open, ioctl and close of
// /fake/parport0 are served by FakeDevice, all else goes on to the C library.
// Preloaded into quillon-cli, or linked into a test program. From the
// FAKE_PPDEV_FAIL_AFTER-th access on, every one fails with ENODEV.
#include <dlfcn.h>
#include <fcntl.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <map>

#include "fake_device.h"

namespace {

struct FakePort {
    FakeDevice device;
    std::map<int, int> fake_fd;  // a descriptor held on /dev/null -> the fake's own
};

// Never destroyed: programs close descriptors until their last exit handler.
FakePort& port() {
    static FakePort& instance = *new FakePort;
    return instance;
}

template <class Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

#define FAKE_PPDEV_CALL extern "C" __attribute__((visibility("default")))

FAKE_PPDEV_CALL int open(const char* path, int flags, ...) {
    static const auto real = next<int (*)(const char*, int, ...)>("open");
    std::va_list arguments;
    va_start(arguments, flags);
    const bool mode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
    const mode_t given = mode ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
    va_end(arguments);
    if (std::strcmp(path, "/fake/parport0") != 0) {
        return real(path, flags, given);
    }
    // Read at the open, so that a test program may set it after its start.
    const char* after = std::getenv("FAKE_PPDEV_FAIL_AFTER");
    port().device.fail_after = after != nullptr ? std::strtoull(after, nullptr, 10) : SIZE_MAX;
    const int fd = real("/dev/null", O_RDWR | (flags & O_CLOEXEC));  // a number no file gets
    if (fd >= 0) {
        port().fake_fd[fd] = port().device.open(path, flags);
    }
    return fd;
}

FAKE_PPDEV_CALL int ioctl(int fd, unsigned long request, ...) noexcept {
    static const auto real = next<int (*)(int, unsigned long, ...)>("ioctl");
    std::va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    const auto found = port().fake_fd.find(fd);
    return found != port().fake_fd.end() ? port().device.ioctl(found->second, request, argument)
                                         : real(fd, request, argument);
}

FAKE_PPDEV_CALL int close(int fd) {
    static const auto real = next<int (*)(int)>("close");
    if (const auto found = port().fake_fd.find(fd); found != port().fake_fd.end()) {
        port().device.close(found->second);
        port().fake_fd.erase(found);
    }
    return real(fd);
}
