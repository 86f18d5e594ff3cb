// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The machine's parallel ports from sysfs and /proc, and advice where none is usable.
#include "parport_discovery.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <string_view>
#include <system_error>

namespace dlportio {

namespace {

namespace fs = std::filesystem;

// "parport12" -> 12
std::optional<unsigned> port_number(std::string_view name) {
    constexpr std::string_view prefix = "parport";
    if (!name.starts_with(prefix) || name.size() == prefix.size()) {
        return std::nullopt;
    }
    const auto digits = name.substr(prefix.size());
    unsigned number = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec != std::errc{} || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return number;
}

// base-addr holds the data register's address in decimal, then the ECP
// register's address (or -1).
std::optional<unsigned long> read_base(const fs::path& file) {
    std::ifstream in(file);
    long long value = -1;
    if (!(in >> value) || value < 0) {
        return std::nullopt;
    }
    return static_cast<unsigned long>(value);
}

std::string hex_address(unsigned long base) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lX", base);
    return text;
}

constexpr const char* kUsbParportWarning =
    "a USB-attached port (base 0, e.g. uss720 or mos7715): very slow, and it may answer status "
    "reads from a copy, so downloads can be wrong";

}  // namespace

const char* usb_parport_warning() {
    return kUsbParportWarning;
}

std::string list_ports(const std::vector<KnownPort>& ports) {
    std::string text;
    for (const KnownPort& port : ports) {
        if (!text.empty()) {
            text += "; ";
        }
        text += fs::path(port.device).filename().string();
        if (port.base == 0) {
            text += ", " + std::string(kUsbParportWarning) +
                    " (set DLPORTIO_DEVICE=" + port.device + ")";
        } else {
            text += " at " + hex_address(port.base) +
                    " (set DLPORTIO_BASE=" + hex_address(port.base) +
                    ", or DLPORTIO_DEVICE=" + port.device + ")";
        }
    }
    return text;
}

bool module_loaded(const SystemPaths& paths, const std::string& name) {
    std::error_code ec;
    return fs::is_directory(paths.modules / name, ec);
}

std::string no_port_advice(const SystemPaths& paths) {
    if (module_loaded(paths, "parport_pc")) {
        return "the kernel's parallel-port driver parport_pc is loaded but found no port (is the "
               "port enabled in the firmware setup? a PCI card needs its own driver, e.g. "
               "parport_serial)";
    }
    return "load the drivers with 'sudo modprobe -a parport_pc ppdev'";
}

std::vector<KnownPort> known_ports(const SystemPaths& paths) {
    std::vector<std::pair<unsigned, KnownPort>> found;
    std::error_code ec;
    for (fs::directory_iterator it(paths.parport_proc, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const auto number = port_number(name);
        if (!number) {
            continue;
        }
        const auto base = read_base(it->path() / "base-addr");
        if (!base) {
            continue;
        }
        found.push_back({*number, KnownPort{*base, (paths.dev / name).string()}});
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<KnownPort> ports;
    for (auto& entry : found) {
        ports.push_back(std::move(entry.second));
    }
    return ports;
}

std::optional<std::string> device_for_base(const std::vector<KnownPort>& ports,
                                           unsigned long base) {
    for (const KnownPort& port : ports) {
        if (port.base == base) {
            return port.device;
        }
    }
    return std::nullopt;
}

PortUsers port_users(const fs::path& devices_folder) {
    PortUsers users;
    std::error_code ec;
    for (fs::directory_iterator it(devices_folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_directory(ec)) {
            users.registered.push_back(it->path().filename().string());
        }
    }
    std::sort(users.registered.begin(), users.registered.end());
    std::ifstream in(devices_folder / "active");
    if (std::string active; in >> active && active != "none") {
        users.active = active;
    }
    return users;
}

fs::path devices_folder(const SystemPaths& paths, const std::string& device) {
    return paths.parport_proc / fs::path(device).filename() / "devices";
}

std::optional<std::string> usb_printer_adapter(const SystemPaths& paths) {
    for (const fs::path& folder : {paths.dev / "usb", paths.usbmisc}) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (name.starts_with("lp")) {
                return (paths.dev / "usb" / name).string();
            }
        }
    }
    return std::nullopt;
}

bool has_parallel_port(const SystemPaths& paths) {
    std::error_code ec;
    for (fs::directory_iterator it(paths.parport_proc, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (port_number(it->path().filename().string())) {
            return true;
        }
    }
    for (fs::directory_iterator it(paths.dev, ec), end; !ec && it != end; it.increment(ec)) {
        if (port_number(it->path().filename().string())) {
            return true;
        }
    }
    for (fs::directory_iterator it(paths.pnp_devices, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::ifstream in(it->path() / "id");
        std::string id;
        while (in >> id) {
            if (id == "PNP0400" || id == "PNP0401") {
                return true;
            }
        }
    }
    return false;
}

}  // namespace dlportio
