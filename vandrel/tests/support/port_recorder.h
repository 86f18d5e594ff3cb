/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Stands in for the port-access layer and the millisecond sleep in the library's
// tests: every access the library makes lands here, in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace vandrel_test {

struct PortEvent {
    enum class Kind : std::uint8_t { write, read, sleep, pass, callback };
    Kind kind;
    std::uint16_t port;   // write and read
    std::uint32_t value;  // written byte, byte read, milliseconds, or position << 16 | total
};

struct PortRecorder {
    std::vector<PortEvent> events;
    bool keep_events = true;        // off for long transfers: counters and observers only
    bool board_keeps_time = false;  // the layer passes pauses itself, as for the simulated board
    std::function<std::uint8_t()> status_source;
    std::function<void(std::uint8_t)> write_observer;
    std::size_t writes = 0;
    std::size_t reads = 0;
    std::uint32_t slept_ms = 0;
    std::uint8_t last_written = 0;  // what the data register holds now
    std::set<std::uint16_t> write_ports;
    std::set<std::uint16_t> read_ports;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> progress;  // kept even without events

    void clear();
    void add(PortEvent event);

    // The events as text: writes as two hex digits, runs of reads as rN, sleeps as
    // sN, pauses the layer passed as pN@PORT, callbacks as cPOS/TOTAL. Example:
    // "r1 C9 r2 CB r1 C9".
    std::string trace() const;
    std::string trace_without_callbacks() const;
};

PortRecorder& recorder();

// A progress callback that logs its calls into the recorder.
void record_progress(std::uint16_t position, std::uint16_t total);

}  // namespace vandrel_test
