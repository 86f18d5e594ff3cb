/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// Which back end serves a base address: read from the environment once,
// decided per base address, and told in one line on standard error.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>

#include "backend.h"
#include "board_cpu.h"
#include "device_calls.h"
#include "direct_port.h"
#include "parport_discovery.h"
#include "settings.h"
#include "trace.h"

namespace dlportio {

// What kind of back end serves a base address; the values are dlportio.h's.
enum class Kind { no_board = 0, simulated = 1, ppdev = 2, direct = 3 };

struct Choice {
    Kind kind;
    Backend* backend;           // owned by the Selector
    std::string name;           // e.g. "sim (RAM /path)", "ppdev /dev/parport0", "none: <why>"
    std::string note;           // the line for standard error, after "dlportio: "
    std::string description;    // the back end, or why there is no board and what to do
    unsigned long address = 0;  // the I/O address really driven (DLPORTIO_BASE, DLPORTIO_DEVICE)
};

class Selector {
public:
    Selector(Settings settings, DeviceCalls& calls, PortIo& io = system_port_io());
    ~Selector();
    Selector(const Selector&) = delete;
    Selector& operator=(const Selector&) = delete;

    Choice choose(unsigned long base);

    // Set when the trace file was asked for but could not be opened.
    const std::string& trace_error() const { return trace_error_; }

    // The simulated board's microcontroller, once the board is set up and if
    // it has one; otherwise sim_cpu_note() says why not.
    BoardCpu* sim_cpu() const { return sim_cpu_; }
    const std::string& sim_cpu_note() const { return sim_cpu_note_; }
    // For the microcontroller's runs from now on, also if it is set up later.
    void set_plan(const RunPlan& plan);

private:
    Choice choose_untraced(unsigned long base);
    unsigned long real_address(unsigned long base) const;
    Choice real_port(unsigned long base, const std::string& wanted);
    Choice simulated(const std::string& why);
    Choice ppdev(const std::string& device);
    Choice direct(unsigned long address);
    Choice no_board(const std::string& why);

    Settings settings_;
    DeviceCalls& calls_;
    PortIo& io_;
    std::unique_ptr<TraceFile> trace_;
    std::string trace_error_;
    // Declared before the back ends so that it outlives every traced one.
    std::deque<std::unique_ptr<Backend>> owned_;
    Backend* sim_board_ = nullptr;  // one board, whichever base address the program uses
    std::string sim_name_;
    BoardCpu* sim_cpu_ = nullptr;  // owned by the simulated board
    std::string sim_cpu_note_;
    RunPlan plan_;
    std::map<std::string, Backend*> devices_;  // one claim per device, shared by base addresses
    std::map<std::string, std::string> device_names_;
    std::map<unsigned long, Backend*> direct_ports_;  // one per I/O address
    std::map<unsigned long, std::string> direct_names_;
    NoBoard no_board_;
};

}  // namespace dlportio
