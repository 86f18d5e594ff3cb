/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// A parallel port reached with in/out instructions after ioperm (x86 only;
// needs root or CAP_SYS_RAWIO, and a kernel that is not locked down).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "backend.h"
#include "device_calls.h"
#include "parport_discovery.h"
#include "ppdev_port.h"

namespace dlportio {

// The port instructions and ioperm, behind one seam so that tests can stand in
// for the hardware.
class PortIo {
public:
    virtual ~PortIo() = default;
    // Returns what ioperm returns and leaves errno as it does.
    virtual int ioperm(unsigned long from, unsigned long count, int on) = 0;
    virtual void outb(std::uint8_t value, unsigned long port) = 0;
    virtual std::uint8_t inb(unsigned long port) = 0;
    // Whether the program runs as root, to tell a refusal by the kernel's
    // lockdown from a missing privilege.
    virtual bool root() = 0;
};

// The real instructions (ioperm fails with ENOSYS where there are none).
PortIo& system_port_io();

class DirectPort final : public Backend {
public:
    // Refuses a range another kernel driver owns. On a port the kernel's
    // parport driver knows, claims it through ppdev for this program alone,
    // as a ppdev user would, so that no printer driver or other program
    // writes its lines between ours, nor we in the middle of theirs: one that
    // is registered there already is refused, named. Then asks the kernel for
    // the port's three registers, lets the data lines drive (bidirectional
    // mode off) and checks that a port answers there. On failure returns
    // nothing and says why in `error`; `claimed` names the device claimed,
    // and `warning` says why none could be.
    static std::unique_ptr<DirectPort> open(unsigned long base, PortIo& io, DeviceCalls& calls,
                                            const SystemPaths& paths, std::string& error,
                                            std::string& claimed, std::string& warning);
    DirectPort(unsigned long base, PortIo& io, std::uint8_t saved_control,
               std::unique_ptr<PpdevPort> claim) noexcept
        : base_(base), io_(io), saved_control_(saved_control), claim_(std::move(claim)) {}
    // Puts the control register back as it was found and gives the range back.
    ~DirectPort() override;
    DirectPort(const DirectPort&) = delete;
    DirectPort& operator=(const DirectPort&) = delete;

    void write_data(std::uint8_t value) override { io_.outb(value, base_); }
    std::uint8_t read_status() override { return io_.inb(base_ + 1); }
    bool read_data(std::uint8_t& value) override {
        value = io_.inb(base_);
        return true;
    }

private:
    unsigned long base_;
    PortIo& io_;
    std::uint8_t saved_control_;
    std::unique_ptr<PpdevPort> claim_;  // released after the registers are given back
};

}  // namespace dlportio
