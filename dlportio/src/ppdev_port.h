/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// A parallel port reached through the kernel's ppdev driver: claimed once for
// the life of the process, one ioctl per access.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "backend.h"
#include "device_calls.h"
#include "parport_discovery.h"

namespace dlportio {

class PpdevPort final : public Backend {
public:
    // Opens and claims the device for this program alone. `paths` show the
    // kernel's ports and the users registered on each, to name the one in the
    // way. On failure returns nothing and says why and what to do in `error`.
    static std::unique_ptr<PpdevPort> open(const std::string& device, DeviceCalls& calls,
                                           const SystemPaths& paths, std::string& error);
    PpdevPort(DeviceCalls& calls, int fd, std::string device) noexcept
        : calls_(calls), fd_(fd), device_(std::move(device)) {}
    ~PpdevPort() override;
    PpdevPort(const PpdevPort&) = delete;
    PpdevPort& operator=(const PpdevPort&) = delete;

    void write_data(std::uint8_t value) override;
    // A failed read shows the data input high, as with no board.
    std::uint8_t read_status() override;
    bool read_data(std::uint8_t& value) override;
    AccessFailures failures() const override { return failures_; }
    const std::string& device() const { return device_; }

private:
    void report_failure(const char* request);

    DeviceCalls& calls_;
    int fd_;
    std::string device_;
    AccessFailures failures_;
};

}  // namespace dlportio
