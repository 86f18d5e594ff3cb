#include "selection.h"

#include <cstdio>
#include <cstdlib>

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

std::string list_ports(const std::vector<KnownPort>& ports) {
    std::string text;
    for (const KnownPort& port : ports) {
        if (!text.empty()) {
            text += ", ";
        }
        text += hex_address(port.base);
        text += ' ';
        text += port.device;
    }
    return text;
}

constexpr const char* kNoBoardEffect =
    "; accesses behave as with no board (the data input reads high)";

}  // namespace

Selector::Selector(Settings settings, DeviceCalls& calls)
    : settings_(std::move(settings)), calls_(calls) {
    if (!settings_.trace.empty()) {
        trace_ = TraceFile::open(settings_.trace, trace_error_);
    }
}

Selector::~Selector() = default;

Choice Selector::choose(unsigned long base) {
    Choice choice = choose_untraced(base);
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
        return simulated(base, "");
    }
    if (wanted == "direct") {
        return direct(base);
    }
    if (wanted == "ppdev" || wanted == "auto" || wanted.empty()) {
        if (!settings_.device.empty()) {
            return ppdev(base, settings_.device);
        }
        const std::vector<KnownPort> ports = known_ports(settings_.paths);
        if (const auto device = device_for_base(ports, base)) {
            return ppdev(base, *device);
        }
        if (wanted == "ppdev") {
            return no_board(base,
                            ports.empty()
                                ? "no parallel port known to the kernel (load its driver "
                                  "with 'sudo modprobe parport_pc ppdev', or set DLPORTIO_DEVICE)"
                                : "no parallel port at this address (the kernel knows " +
                                      list_ports(ports) +
                                      "); set DLPORTIO_DEVICE=/dev/parportN to use one");
        }
        if (!ports.empty()) {
            // A real board may hang on one of them: never simulate one in its place.
            return no_board(base, "no parallel port at this address (the machine has " +
                                      list_ports(ports) +
                                      "); choose that port, or set DLPORTIO_DEVICE=/dev/parportN "
                                      "for a card at another address");
        }
        if (has_parallel_port(settings_.paths)) {
            return no_board(base,
                            "the machine has a parallel port but the kernel's driver for it is "
                            "not loaded (run 'sudo modprobe parport_pc ppdev', then start again)");
        }
        return simulated(base, "no parallel port on this machine");
    }
    return no_board(base,
                    "unknown DLPORTIO_BACKEND '" + wanted + "' (use auto, sim, ppdev or direct)");
}

Choice Selector::simulated(unsigned long base, const std::string& why) {
    if (sim_board_ == nullptr) {
        const auto fault = parse_sim_fault(settings_.sim_fault);
        if (!fault) {
            return no_board(base, "unknown DLPORTIO_SIM_FAULT '" + settings_.sim_fault +
                                      "' (use no-board, stuck-low, flip=N or slow=N)");
        }
        if (settings_.sim_ram.empty()) {
            return no_board(base,
                            "no place for the simulated board's RAM (set DLPORTIO_SIM_RAM=path)");
        }
        std::string error;
        auto file = RamFile::open(settings_.sim_ram, error);
        if (!file) {
            return no_board(base, "simulated board unavailable: " + error +
                                      " (set DLPORTIO_SIM_RAM=path to another file)");
        }
        const BoardRam ram = file->bytes();
        owned_.push_back(
            std::make_unique<SimBoard>(ram, *fault, make_board_cpu(settings_), std::move(file)));
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

Choice Selector::ppdev(unsigned long base, const std::string& device) {
    if (const auto found = devices_.find(device); found != devices_.end()) {
        const std::string& name = device_names_[device];
        return Choice{Kind::ppdev, found->second, name, name, name};
    }
    std::string error;
    auto port = PpdevPort::open(device, calls_, devices_folder(settings_.paths, device), error);
    if (!port) {
        return no_board(base, "ppdev: " + error);
    }
    std::string name = "ppdev " + device;
    if (!port->shared_with().empty()) {
        name += " (shared with the idle printer driver " + port->shared_with() +
                ", whose printing waits until this program ends)";
    }
    owned_.push_back(std::move(port));
    devices_[device] = owned_.back().get();
    device_names_[device] = name;
    return Choice{Kind::ppdev, owned_.back().get(), name, name, name};
}

Choice Selector::direct(unsigned long base) {
    std::string error;
    auto port = DirectPort::open(base, error);
    if (!port) {
        return no_board(base, "direct: " + error);
    }
    owned_.push_back(std::move(port));
    return Choice{Kind::direct, owned_.back().get(), "direct", "direct", "direct"};
}

Choice Selector::no_board(unsigned long, const std::string& why) {
    return Choice{Kind::no_board, &no_board_, "none: " + why, "none: " + why + kNoBoardEffect, why};
}

}  // namespace dlportio
