/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// One parallel port as the library sees it: the data register it writes and
// the status register it reads, both at one base address.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace dlportio {

// Status register of a port with nothing driving its inputs: the reserved
// bits and the pulled-up pins read 1, Busy (inverted in the register) reads 0.
inline constexpr std::uint8_t kIdleStatus = 0x7F;

// Accesses the system refused since a back end was opened (a device that
// went away answers ENODEV or EIO), and its reason for the last one.
struct AccessFailures {
    unsigned long count = 0;
    int last_error = 0;  // errno
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual void write_data(std::uint8_t value) = 0;
    virtual std::uint8_t read_status() = 0;
    // The data register read back, where the port can (on most ports the
    // levels on its pins); false where it can't.
    virtual bool read_data(std::uint8_t& /*value*/) { return false; }
    // The two operations cannot return an error: the back end counts them.
    virtual AccessFailures failures() const { return {}; }
    // A pause of `ms` milliseconds between accesses. A board that keeps its own
    // time lets it pass in that time and returns true; a real port returns
    // false, and the caller waits in real time.
    virtual bool pass_time(std::uint32_t /*ms*/) { return false; }
    // The simulated board's handle (simboard.h) where this back end is one;
    // otherwise null.
    virtual void* simulated_board() { return nullptr; }
};

// What the layer serves where no board can be reached: writes go nowhere and
// the data input reads high, so downloads show 0xFF bytes.
class NoBoard final : public Backend {
public:
    void write_data(std::uint8_t) override {}
    std::uint8_t read_status() override { return kIdleStatus; }
};

class DeviceCalls;
class PortIo;
struct Settings;

// What a back end's open function has of the machine.
struct Machine {
    const Settings& settings;
    DeviceCalls& calls;
    PortIo& io;
};

// What it gives: the back end, open, and its one-line description; or no
// back end, and why it cannot be opened with what to do.
struct Opened {
    std::unique_ptr<Backend> backend;
    std::string text;
};

// A back end's open function, named by its row of the back-end table: opens it
// at `place`, "" for a back end of the whole process, the device path, or the
// address as hexadecimal text ("0x378").
using OpenBackend = Opened(const Machine& machine, const std::string& place);

}  // namespace dlportio
