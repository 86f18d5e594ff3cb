// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// One fake ppdev device for whole programs: open, ioctl and close of the path
// in FAKE_PPDEV_PATH (default /fake/parport0) are served by FakeDevice, every
// other call goes on to the C library. Loaded with LD_PRELOAD into quillon-cli,
// or linked into a test program, whose own definitions come first.
// FAKE_PPDEV_FAIL_AFTER=N: from the Nth access to the port on, every one fails
// with ENODEV, as on a device that went away in the middle of a transfer.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <map>

#include "fake_device.h"

namespace {

const char* fake_path() {
    const char* path = std::getenv("FAKE_PPDEV_PATH");
    return path != nullptr && *path != '\0' ? path : "/fake/parport0";
}

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

using OpenFunction = int (*)(const char*, int, ...);

// The descriptor is a real one, so that no other file can get its number.
int open_fake(OpenFunction real, const char* path, int flags) {
    const int fd = real("/dev/null", O_RDWR | (flags & O_CLOEXEC));
    if (fd < 0) {
        return fd;
    }
    // Read at the open, so that a test program may set it after its start.
    const char* after = std::getenv("FAKE_PPDEV_FAIL_AFTER");
    port().device.fail_after = after != nullptr ? std::strtoull(after, nullptr, 10) : SIZE_MAX;
    const int fake = port().device.open(path, flags);
    if (fake < 0) {
        const int err = errno;
        next<int (*)(int)>("close")(fd);
        errno = err;
        return -1;
    }
    port().fake_fd[fd] = fake;
    return fd;
}

int open_with(const char* name, const char* path, int flags, mode_t mode) {
    static const OpenFunction real_open = next<OpenFunction>("open");
    static const OpenFunction real_open64 = next<OpenFunction>("open64");
    const OpenFunction real = std::strcmp(name, "open") == 0 ? real_open : real_open64;
    if (path != nullptr && std::strcmp(path, fake_path()) == 0) {
        return open_fake(real, path, flags);
    }
    return real(path, flags, mode);
}

mode_t mode_argument(int flags, std::va_list& arguments) {
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE
               ? static_cast<mode_t>(va_arg(arguments, int))
               : 0;
}

}  // namespace

// Seen by the programs, which the build otherwise keeps from seeing anything.
#define FAKE_PPDEV_CALL extern "C" __attribute__((visibility("default")))

FAKE_PPDEV_CALL int open(const char* path, int flags, ...) {
    std::va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = mode_argument(flags, arguments);
    va_end(arguments);
    return open_with("open", path, flags, mode);
}

FAKE_PPDEV_CALL int open64(const char* path, int flags, ...) {
    std::va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = mode_argument(flags, arguments);
    va_end(arguments);
    return open_with("open64", path, flags, mode);
}

FAKE_PPDEV_CALL int ioctl(int fd, unsigned long request, ...) noexcept {
    std::va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if (const auto found = port().fake_fd.find(fd); found != port().fake_fd.end()) {
        return port().device.ioctl(found->second, request, argument);
    }
    static const auto real = next<int (*)(int, unsigned long, ...)>("ioctl");
    return real(fd, request, argument);
}

FAKE_PPDEV_CALL int close(int fd) {
    static const auto real = next<int (*)(int)>("close");
    if (const auto found = port().fake_fd.find(fd); found != port().fake_fd.end()) {
        port().device.close(found->second);
        port().fake_fd.erase(found);
    }
    return real(fd);
}
