/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The system calls the ppdev back end makes, behind one seam so that tests can
// stand in for a device.
#pragma once

namespace dlportio {

class DeviceCalls {
public:
    virtual ~DeviceCalls() = default;
    // Each returns what the system call returns and leaves errno as it does.
    virtual int open(const char* path, int flags) = 0;
    virtual int ioctl(int fd, unsigned long request, void* argument) = 0;
    virtual int close(int fd) = 0;
};

// The real calls.
DeviceCalls& system_device_calls();

}  // namespace dlportio
