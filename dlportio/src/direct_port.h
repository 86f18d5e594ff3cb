// A parallel port reached with in/out instructions after ioperm (x86 only;
// needs root or CAP_SYS_RAWIO).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "backend.h"

namespace dlportio {

class DirectPort final : public Backend {
public:
    // Asks the kernel for the port's three registers; on failure returns nothing
    // and says why in `error`.
    static std::unique_ptr<DirectPort> open(unsigned long base, std::string& error);
    explicit DirectPort(unsigned long base) noexcept : base_(base) {}
    ~DirectPort() override;
    DirectPort(const DirectPort&) = delete;
    DirectPort& operator=(const DirectPort&) = delete;

    void write_data(std::uint8_t value) override;
    std::uint8_t read_status() override;

private:
    unsigned long base_;
};

}  // namespace dlportio
