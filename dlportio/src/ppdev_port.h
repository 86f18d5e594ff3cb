// A parallel port reached through the kernel's ppdev driver: claimed once for
// the life of the process, one ioctl per access.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "backend.h"
#include "device_calls.h"

namespace dlportio {

class PpdevPort final : public Backend {
public:
    // Opens and claims the device, exclusively when it can (see the .cpp for
    // when the port is shared with an idle printer driver). `devices_folder`
    // is the kernel's list of the port's users, to name the one in the way.
    // On failure returns nothing and says why and what to do in `error`.
    static std::unique_ptr<PpdevPort> open(const std::string& device, DeviceCalls& calls,
                                           const std::filesystem::path& devices_folder,
                                           std::string& error);
    PpdevPort(DeviceCalls& calls, int fd, std::string device, std::string shared_with) noexcept
        : calls_(calls),
          fd_(fd),
          device_(std::move(device)),
          shared_with_(std::move(shared_with)) {}
    ~PpdevPort() override;
    PpdevPort(const PpdevPort&) = delete;
    PpdevPort& operator=(const PpdevPort&) = delete;

    void write_data(std::uint8_t value) override;
    // A failed read shows the data input high, as with no board.
    std::uint8_t read_status() override;
    // The printer driver registered beside this program ("lp0"), empty when
    // the port is this program's alone.
    const std::string& shared_with() const { return shared_with_; }

private:
    void report_failure(const char* request);

    DeviceCalls& calls_;
    int fd_;
    std::string device_;
    std::string shared_with_;
    bool failure_reported_ = false;
};

}  // namespace dlportio
