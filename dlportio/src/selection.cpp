// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// Choosing a back end per base address from the table, and the line that tells it.
#include "selection.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <span>

#include "parport_discovery.h"

namespace dlportio {

namespace {

std::string hex_address(unsigned long base) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lX", base);
    return text;
}

// DLPORTIO_BASE: 0x-prefixed hexadecimal or decimal, below 0x10000.
std::optional<unsigned long> parse_base(const std::string& text) {
    const bool hexadecimal = text.starts_with("0x") || text.starts_with("0X");
    const std::string digits = hexadecimal ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    unsigned long value = 0;
    const auto [end, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, hexadecimal ? 16 : 10);
    if (ec != std::errc{} || end != digits.data() + digits.size() || value > 0xFFFF) {
        return std::nullopt;
    }
    return value;
}

constexpr const char* kNoBoardEffect =
    "; accesses behave as with no board (the data input reads high)";

// The three texts of a choice, from the one the back end or the refusal gives.
Choice choice_of(Kind kind, Backend* backend, const std::string& text) {
    if (kind == Kind::no_board) {
        return Choice{kind, backend, "none: " + text, "none: " + text + kNoBoardEffect, text};
    }
    return Choice{kind, backend, text, text, text};
}

}  // namespace

Selector::Selector(Settings settings, DeviceCalls& calls, PortIo& io)
    : settings_(std::move(settings)), calls_(calls), io_(io) {
    if (!settings_.trace.empty()) {
        trace_ = TraceFile::open(settings_.trace, trace_error_);
    }
}

Selector::~Selector() = default;

Choice Selector::choose(unsigned long base) {
    const Decision decision = decide(base);
    Choice choice = decision.row != nullptr ? open(*decision.row, decision.place)
                                            : choice_of(Kind::no_board, &no_board_, decision.why);
    if (decision.row != nullptr && !decision.why.empty() && choice.kind != Kind::no_board) {
        choice.note += "; " + decision.why;
    }
    // Also where a real port was asked for and refused, so that messages name it.
    const bool real = decision.row == nullptr || decision.row->real_port();
    choice.address = real ? real_address(base) : base;
    choice.note = "port " + hex_address(base) + ": " + choice.note;
    if (trace_) {
        trace_->note("dlportio: " + choice.note);
        owned_.push_back(std::make_unique<TracedBackend>(*choice.backend, *trace_, base));
        choice.backend = owned_.back().get();
    }
    return choice;
}

Selector::Decision Selector::decide(unsigned long base) const {
    const std::string& wanted = settings_.backend;
    const bool automatic = wanted.empty() || wanted == "auto";
    const BackendRow* row = automatic ? nullptr : find_backend(wanted);
    if (!automatic && row == nullptr) {
        return {nullptr, "",
                "unknown DLPORTIO_BACKEND '" + wanted + "' (use " + backend_names() + ")"};
    }
    if (row != nullptr && row->place == Place::process) {
        return {row, "", ""};
    }
    // DLPORTIO_BASE takes every address the program uses to a card elsewhere.
    unsigned long address = base;
    if (!settings_.base.empty()) {
        const auto parsed = parse_base(settings_.base);
        if (!parsed) {
            return {nullptr, "",
                    "DLPORTIO_BASE '" + settings_.base +
                        "' is no I/O address (write it as 0xD010, below 0x10000)"};
        }
        address = *parsed;
    }
    return real_port(address, row);
}

// Where `row` reaches the port at `address`, if the machine has one there.
std::optional<std::string> Selector::place_for(const BackendRow& row, unsigned long address,
                                               const std::vector<KnownPort>& ports) const {
    switch (row.place) {
        case Place::address:
            return hex_address(address);
        case Place::device:
            if (!settings_.device.empty()) {
                return settings_.device;
            }
            return device_for_base(ports, address);
        case Place::process:
            break;
    }
    return std::nullopt;
}

// The real port at `address` through the row named (null: the first of
// auto's rows that reaches one), and without one, auto's first row that is
// no real port, only where the machine has no parallel port at all.
Selector::Decision Selector::real_port(unsigned long address, const BackendRow* named) const {
    const std::vector<KnownPort> ports =
        settings_.device.empty() ? known_ports(settings_.paths) : std::vector<KnownPort>{};
    const auto rows =
        named != nullptr ? std::span<const BackendRow* const>(&named, 1) : auto_rows();
    for (const BackendRow* row : rows) {
        if (!row->real_port()) {
            continue;
        }
        if (auto place = place_for(*row, address, ports)) {
            return {row, std::move(*place), ""};
        }
    }
    const std::string here = "no parallel port at " + hex_address(address);
    if (!ports.empty()) {
        // A real board may hang on one of them: never simulate one in its place.
        return {nullptr, "", here + "; the machine has " + list_ports(ports)};
    }
    const std::string unknown =
        "no parallel port known to the kernel (" + no_port_advice(settings_.paths) + ")";
    if (named != nullptr) {
        return {nullptr, "", unknown};
    }
    if (has_parallel_port(settings_.paths)) {
        return {nullptr, "",
                "the machine has a parallel port but the kernel's driver for it is not loaded "
                "(run 'sudo modprobe -a parport_pc ppdev', then start again)"};
    }
    if (const auto adapter = usb_printer_adapter(settings_.paths)) {
        return {nullptr, "",
                "the only printer port is a USB printer adapter (" + *adapter +
                    "), which cannot drive the board: it sends whole bytes with a handshake, "
                    "not freely set lines (use a parallel port on the mainboard or a PCI/PCIe "
                    "card; DLPORTIO_BACKEND=sim for the simulated board)"};
    }
    const auto stand_in = std::ranges::find(rows, false, &BackendRow::real_port);
    if (stand_in != rows.end()) {
        return {*stand_in, "", "no parallel port on this machine"};
    }
    return {nullptr, "", unknown};
}

unsigned long Selector::real_address(unsigned long base) const {
    if (!settings_.base.empty()) {
        return parse_base(settings_.base).value_or(base);
    }
    if (!settings_.device.empty()) {
        for (const KnownPort& known : known_ports(settings_.paths)) {
            if (known.device == settings_.device && known.base != 0) {
                return known.base;
            }
        }
    }
    return base;
}

Choice Selector::open(const BackendRow& row, const std::string& place) {
    const auto key = std::make_pair(row.name, place);
    if (const auto found = opened_.find(key); found != opened_.end()) {
        return found->second;
    }
    Opened opened = row.open(Machine{settings_, calls_, io_}, place);
    if (!opened.backend) {
        return choice_of(Kind::no_board, &no_board_, opened.text);
    }
    owned_.push_back(std::move(opened.backend));
    const Choice choice = choice_of(row.kind, owned_.back().get(), opened.text);
    opened_.emplace(key, choice);
    return choice;
}

}  // namespace dlportio
