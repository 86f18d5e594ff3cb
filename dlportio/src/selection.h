/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// Which back end serves a base address: read from the environment once,
// decided per base address from the rows of backend_table.h, and told in one
// line on standard error.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "backend.h"
#include "backend_table.h"
#include "device_calls.h"
#include "direct_port.h"
#include "parport_discovery.h"
#include "settings.h"
#include "trace.h"

namespace dlportio {

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

private:
    // The row and place that serve `base`; or no row, and `why` says why no
    // board can be reached. With a row, `why` tells why it was chosen.
    struct Decision {
        const BackendRow* row = nullptr;
        std::string place;
        std::string why;
    };
    Decision decide(unsigned long base) const;
    std::optional<std::string> place_for(const BackendRow& row, unsigned long address,
                                         const std::vector<KnownPort>& ports) const;
    Decision real_port(unsigned long address, const BackendRow* named) const;
    unsigned long real_address(unsigned long base) const;
    Choice open(const BackendRow& row, const std::string& place);

    Settings settings_;
    DeviceCalls& calls_;
    PortIo& io_;
    std::unique_ptr<TraceFile> trace_;
    std::string trace_error_;
    // Declared before the back ends so that it outlives every traced one.
    std::deque<std::unique_ptr<Backend>> owned_;
    // Every back end opened, by row and place: one claim per device, one board
    // for the process, shared by the base addresses that lead there.
    std::map<std::pair<std::string_view, std::string>, Choice> opened_;
    NoBoard no_board_;
};

}  // namespace dlportio
