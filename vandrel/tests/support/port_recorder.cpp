// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The recorder behind the library's port accesses and sleeps, and its trace text.
#include "port_recorder.h"

#include <cstdio>

#include "dlportio.h"

namespace vandrel_test {

namespace {

std::string trace_of(const std::vector<PortEvent>& events, bool with_callbacks) {
    std::string text;
    std::size_t run = 0;
    auto token = [&text](const std::string& t) {
        if (!text.empty()) {
            text += ' ';
        }
        text += t;
    };
    auto flush_reads = [&] {
        if (run != 0) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "r%zu", run);
            token(buf);
            run = 0;
        }
    };
    for (const auto& e : events) {
        char buf[32];
        switch (e.kind) {
            case PortEvent::Kind::read:
                ++run;
                continue;
            case PortEvent::Kind::write:
                std::snprintf(buf, sizeof buf, "%02X", e.value);
                break;
            case PortEvent::Kind::sleep:
                std::snprintf(buf, sizeof buf, "s%u", e.value);
                break;
            case PortEvent::Kind::pass:
                std::snprintf(buf, sizeof buf, "p%u@%X", e.value, e.port);
                break;
            case PortEvent::Kind::callback:
                if (!with_callbacks) {
                    continue;
                }
                std::snprintf(buf, sizeof buf, "c%u/%u", e.value >> 16, e.value & 0xFFFF);
                break;
        }
        flush_reads();
        token(buf);
    }
    flush_reads();
    return text;
}

}  // namespace

void PortRecorder::clear() {
    *this = PortRecorder{};
}

void PortRecorder::add(PortEvent event) {
    if (keep_events) {
        events.push_back(event);
    }
}

std::string PortRecorder::trace() const {
    return trace_of(events, true);
}

std::string PortRecorder::trace_without_callbacks() const {
    return trace_of(events, false);
}

PortRecorder& recorder() {
    static PortRecorder instance;
    return instance;
}

void record_progress(std::uint16_t position, std::uint16_t total) {
    recorder().progress.emplace_back(position, total);
    recorder().add(
        {PortEvent::Kind::callback, 0, static_cast<std::uint32_t>(position) << 16 | total});
}

}  // namespace vandrel_test

extern "C" void DlPortWritePortUchar(unsigned long Port, unsigned char Value) {
    auto& r = vandrel_test::recorder();
    ++r.writes;
    r.last_written = Value;
    r.write_ports.insert(static_cast<std::uint16_t>(Port));
    r.add({vandrel_test::PortEvent::Kind::write, static_cast<std::uint16_t>(Port), Value});
    if (r.write_observer) {
        r.write_observer(Value);
    }
}

extern "C" unsigned char DlPortReadPortUchar(unsigned long Port) {
    auto& r = vandrel_test::recorder();
    ++r.reads;
    r.read_ports.insert(static_cast<std::uint16_t>(Port));
    const std::uint8_t value = r.status_source ? r.status_source() : 0x00;
    r.add({vandrel_test::PortEvent::Kind::read, static_cast<std::uint16_t>(Port), value});
    return value;
}

extern "C" const char* dlportio_backend_name(unsigned long /*Port*/) {
    return "recorder";
}

extern "C" int dlportio_pass_time(unsigned long Port, unsigned long ms) {
    auto& r = vandrel_test::recorder();
    if (!r.board_keeps_time) {
        return 0;  // a real port: the library sleeps
    }
    r.add({vandrel_test::PortEvent::Kind::pass, static_cast<std::uint16_t>(Port),
           static_cast<std::uint32_t>(ms)});
    return 1;
}
