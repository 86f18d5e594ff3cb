// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "selection.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "board_cpu.h"
#include "direct_port.h"
#include "ppdev_port.h"
#include "ram_file.h"
#include "sim_board.h"
#include "sim_fault.h"

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

}  // namespace

Selector::Selector(Settings settings, DeviceCalls& calls, PortIo& io)
    : settings_(std::move(settings)), calls_(calls), io_(io) {
    if (!settings_.trace.empty()) {
        trace_ = TraceFile::open(settings_.trace, trace_error_);
    }
}

Selector::~Selector() = default;

Choice Selector::choose(unsigned long base) {
    Choice choice = choose_untraced(base);
    // Also where a real port was asked for and refused, so that messages name it.
    const bool simulated = choice.kind == Kind::simulated || settings_.backend == "sim";
    choice.address = simulated ? base : real_address(base);
    choice.note = "port " + hex_address(base) + ": " + choice.note;
    if (trace_) {
        trace_->note("dlportio: " + choice.note);
        owned_.push_back(std::make_unique<TracedBackend>(*choice.backend, *trace_, base));
        choice.backend = owned_.back().get();
    }
    return choice;
}

Choice Selector::choose_untraced(unsigned long base) {
    const std::string& wanted = settings_.backend;
    if (wanted == "sim") {
        return simulated("");
    }
    if (wanted == "direct" || wanted == "ppdev" || wanted == "auto" || wanted.empty()) {
        return real_port(base, wanted);
    }
    return no_board("unknown DLPORTIO_BACKEND '" + wanted + "' (use auto, sim, ppdev or direct)");
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

Choice Selector::real_port(unsigned long base, const std::string& wanted) {
    // DLPORTIO_BASE takes every address the program uses to a card elsewhere.
    unsigned long address = base;
    if (!settings_.base.empty()) {
        const auto parsed = parse_base(settings_.base);
        if (!parsed) {
            return no_board("DLPORTIO_BASE '" + settings_.base +
                            "' is no I/O address (write it as 0xD010, below 0x10000)");
        }
        address = *parsed;
    }
    if (wanted == "direct") {
        return direct(address);
    }
    if (!settings_.device.empty()) {
        return ppdev(settings_.device);
    }
    const std::vector<KnownPort> ports = known_ports(settings_.paths);
    if (const auto device = device_for_base(ports, address)) {
        return ppdev(*device);
    }
    const std::string here = "no parallel port at " + hex_address(address);
    if (!ports.empty()) {
        // A real board may hang on one of them: never simulate one in its place.
        return no_board(here + "; the machine has " + list_ports(ports));
    }
    if (wanted == "ppdev") {
        return no_board("no parallel port known to the kernel (" + no_port_advice(settings_.paths) +
                        ")");
    }
    if (has_parallel_port(settings_.paths)) {
        return no_board(
            "the machine has a parallel port but the kernel's driver for it is not loaded (run "
            "'sudo modprobe parport_pc ppdev', then start again)");
    }
    if (const auto adapter = usb_printer_adapter(settings_.paths)) {
        return no_board("the only printer port is a USB printer adapter (" + *adapter +
                        "), which cannot drive the board: it sends whole bytes with a "
                        "handshake, not freely set lines (use a parallel port on the mainboard "
                        "or a PCI/PCIe card; DLPORTIO_BACKEND=sim for the simulated board)");
    }
    return simulated("no parallel port on this machine");
}

Choice Selector::simulated(const std::string& why) {
    if (sim_board_ == nullptr) {
        const auto fault = parse_sim_fault(settings_.sim_fault);
        if (!fault) {
            return no_board("unknown DLPORTIO_SIM_FAULT '" + settings_.sim_fault +
                            "' (use no-board, stuck-low, flip=N or slow=N)");
        }
        if (settings_.sim_ram.empty()) {
            return no_board("no place for the simulated board's RAM (set DLPORTIO_SIM_RAM=path)");
        }
        std::string error;
        auto file = RamFile::open(settings_.sim_ram, error);
        if (!file) {
            return no_board("simulated board unavailable: " + error +
                            " (set DLPORTIO_SIM_RAM=path to another file)");
        }
        const BoardRam ram = file->bytes();
        auto cpu = make_board_cpu(settings_, &sim_cpu_note_);
        sim_cpu_ = cpu.get();
        if (sim_cpu_ != nullptr) {
            sim_cpu_->plan(plan_);
        }
        owned_.push_back(std::make_unique<SimBoard>(ram, *fault, std::move(cpu), std::move(file)));
        sim_board_ = owned_.back().get();
        sim_name_ = "sim (RAM " + settings_.sim_ram;
        if (fault->kind != SimFault::Kind::none) {
            sim_name_ += ", fault " + settings_.sim_fault;
        }
        sim_name_ += ")";
    }
    return Choice{Kind::simulated, sim_board_, sim_name_,
                  why.empty() ? sim_name_ : sim_name_ + "; " + why, sim_name_};
}

Choice Selector::ppdev(const std::string& device) {
    if (const auto found = devices_.find(device); found != devices_.end()) {
        const std::string& name = device_names_[device];
        return Choice{Kind::ppdev, found->second, name, name, name};
    }
    std::string error;
    auto port = PpdevPort::open(device, calls_, settings_.paths, error);
    if (!port) {
        return no_board("ppdev: " + error);
    }
    std::string name = "ppdev " + device;
    for (const KnownPort& known : known_ports(settings_.paths)) {
        if (known.device == device && known.base == 0) {
            name += "; warning: " + std::string(usb_parport_warning());
        }
    }
    owned_.push_back(std::move(port));
    devices_[device] = owned_.back().get();
    device_names_[device] = name;
    return Choice{Kind::ppdev, owned_.back().get(), name, name, name};
}

Choice Selector::direct(unsigned long address) {
    if (const auto found = direct_ports_.find(address); found != direct_ports_.end()) {
        const std::string& name = direct_names_[address];
        return Choice{Kind::direct, found->second, name, name, name};
    }
    std::string error;
    std::string warning;
    auto port = DirectPort::open(address, io_, settings_.paths, error, warning);
    if (!port) {
        return no_board("direct: " + error);
    }
    std::string name = "direct I/O at " + hex_address(address);
    if (!warning.empty()) {
        name += "; warning: " + warning;
    }
    owned_.push_back(std::move(port));
    direct_ports_[address] = owned_.back().get();
    direct_names_[address] = name;
    return Choice{Kind::direct, owned_.back().get(), name, name, name};
}

Choice Selector::no_board(const std::string& why) {
    return Choice{Kind::no_board, &no_board_, "none: " + why, "none: " + why + kNoBoardEffect, why};
}

void Selector::set_plan(const RunPlan& plan) {
    plan_ = plan;
    if (sim_cpu_ != nullptr) {
        sim_cpu_->plan(plan_);
    }
}

}  // namespace dlportio
