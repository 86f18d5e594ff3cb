// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The two byte functions and the queries, in front of the back ends.
// The last data and status addresses used are cached, so an access during a
// transfer is one compare and one call; everything else takes the slow path.
// Like the library above it, this layer expects one thread at a time.
#include <posix/standard_streams.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>

#include "dlportio.h"
#include "messages.h"
#include "selection.h"
#include "settings.h"
#include "sim_backend.h"
#include "trace.h"

namespace {

using dlportio::Backend;

unsigned long g_write_port = ULONG_MAX;
Backend* g_write_backend = nullptr;
unsigned long g_read_port = ULONG_MAX;
Backend* g_read_backend = nullptr;
bool g_closed = false;

enum class Register { data, status, control };

struct Slot {
    unsigned long base;
    dlportio::Kind kind;
    Backend* backend;
    std::string name;
    std::string note;
    std::string description;
    unsigned long address;
    bool announced = false;
};

// Read once; the files' paths stay valid for the process's life.
const dlportio::Settings& layer_settings() {
    static const dlportio::Settings settings = dlportio::settings_from_environment();
    return settings;
}

class PortTable {
public:
    PortTable() : selector_(layer_settings(), dlportio::system_device_calls()) {
        if (!selector_.trace_error().empty()) {
            dlportio::tell(selector_.trace_error() + "; accesses are not traced");
        }
    }
    ~PortTable() {
        // Calls from other libraries' exit code must not reach freed back ends.
        g_write_backend = nullptr;
        g_read_backend = nullptr;
        g_write_port = ULONG_MAX;
        g_read_port = ULONG_MAX;
        g_closed = true;
    }
    PortTable(const PortTable&) = delete;
    PortTable& operator=(const PortTable&) = delete;

    // The port an address belongs to; an address never seen before is taken as
    // a data register when written and as a status register when read.
    std::pair<Slot*, Register> find(unsigned long address, bool reading) {
        for (Slot& slot : slots_) {
            if (address == slot.base) {
                return {&slot, Register::data};
            }
            if (address == slot.base + 1) {
                return {&slot, Register::status};
            }
            if (address == slot.base + 2) {
                return {&slot, Register::control};
            }
        }
        if (reading && address > 0) {
            return {&add(address - 1), Register::status};
        }
        return {&add(address), Register::data};
    }

    // Tells the back end in use on the first access to a base address.
    static void announce(Slot& slot) {
        if (!slot.announced) {
            slot.announced = true;
            dlportio::tell(slot.note);
        }
    }

    dlportio::Selector& selector() { return selector_; }

    // The simulated board of a port set up so far, if any: one serves the process.
    void* simulated_board() {
        for (const Slot& slot : slots_) {
            if (void* board = slot.backend->simulated_board()) {
                return board;
            }
        }
        return nullptr;
    }

private:
    Slot& add(unsigned long base) {
        dlportio::Choice choice = selector_.choose(base);
        slots_.push_back(Slot{base, choice.kind, choice.backend, std::move(choice.name),
                              std::move(choice.note), std::move(choice.description),
                              choice.address});
        return slots_.back();
    }

    dlportio::Selector selector_;
    std::deque<Slot> slots_;  // a deque keeps each name where it is for the process's life
};

PortTable& table() {
    // The back ends open the board's RAM file, a trace or a device first thing.
    quillon::posix::keep_standard_streams_open();
    static PortTable instance;
    return instance;
}

// Kept out of line so that the cached path stays a compare and a jump.
[[gnu::noinline, gnu::cold]] void write_slow(unsigned long port, unsigned char value) {
    if (g_closed) {
        return;
    }
    auto [slot, role] = table().find(port, false);
    PortTable::announce(*slot);
    if (role != Register::data) {
        return;  // the status register takes no writes; the control register is not used
    }
    g_write_port = port;
    g_write_backend = slot->backend;
    g_write_backend->write_data(value);
}

[[gnu::noinline, gnu::cold]] unsigned char read_slow(unsigned long port) {
    if (g_closed) {
        return dlportio::kIdleStatus;
    }
    auto [slot, role] = table().find(port, true);
    PortTable::announce(*slot);
    if (role != Register::status) {
        return 0xFF;  // neither the data nor the control register is read back
    }
    g_read_port = port;
    g_read_backend = slot->backend;
    return g_read_backend->read_status();
}

}  // namespace

extern "C" void DlPortWritePortUchar(unsigned long Port, unsigned char Value) {
    if (Port == g_write_port && g_write_backend != nullptr) [[likely]] {
        g_write_backend->write_data(Value);
        return;
    }
    write_slow(Port, Value);
}

extern "C" unsigned char DlPortReadPortUchar(unsigned long Port) {
    if (Port == g_read_port && g_read_backend != nullptr) [[likely]] {
        return g_read_backend->read_status();
    }
    return read_slow(Port);
}

extern "C" const char* dlportio_backend_name(unsigned long Port) {
    if (g_closed) {
        return "none: the port-access layer has shut down";
    }
    return table().find(Port, false).first->name.c_str();
}

extern "C" int dlportio_setup(unsigned long Port, const char** text) {
    if (g_closed) {
        if (text != nullptr) {
            *text = "the port-access layer has shut down";
        }
        return DLPORTIO_NO_BOARD;
    }
    const Slot& slot = *table().find(Port, false).first;
    if (text != nullptr) {
        *text = slot.description.c_str();
    }
    return static_cast<int>(slot.kind);
}

extern "C" unsigned long dlportio_address(unsigned long Port) {
    if (g_closed) {
        return Port;
    }
    return table().find(Port, false).first->address;
}

extern "C" int dlportio_pass_time(unsigned long Port, unsigned long ms) {
    if (g_closed) {
        return 0;
    }
    const auto slice = static_cast<std::uint32_t>(std::min<unsigned long>(ms, UINT32_MAX));
    return table().find(Port, false).first->backend->pass_time(slice) ? 1 : 0;
}

extern "C" unsigned long dlportio_failed_accesses(unsigned long Port, int* last_error) {
    const dlportio::AccessFailures failures =
        g_closed ? dlportio::AccessFailures{}
                 : table().find(Port, false).first->backend->failures();
    if (last_error != nullptr) {
        *last_error = failures.last_error;
    }
    return failures.count;
}

extern "C" int dlportio_read_data(unsigned long Port, unsigned char* value) {
    std::uint8_t byte = 0;
    if (g_closed || value == nullptr ||
        !table().find(Port, false).first->backend->read_data(byte)) {
        return 0;
    }
    *value = byte;
    return 1;
}

extern "C" void dlportio_quiet(int on) {
    dlportio::set_quiet(on != 0);
}

extern "C" void dlportio_line_open(int on) {
    dlportio::set_line_open(on != 0);
}

extern "C" void dlportio_trace_flush(void) {
    dlportio::flush_trace_for_exit();
}

extern "C" void* dlportio_simulated_board(unsigned long Port) {
    if (g_closed) {
        return nullptr;
    }
    return table().find(Port, false).first->backend->simulated_board();
}

// Kept for programs built against the layer when it still kept the simulated
// board's settings: the board names its files itself now. Those programs asked
// before any port access, so the port the board link library starts on is set
// up when no port has a simulated board yet.
extern "C" const char* dlportio_path(const char* what) {
    if (what == nullptr) {
        return nullptr;
    }
    const std::string_view name = what;
    if (name != "ram" && name != "uart" && name != "ports") {
        return nullptr;
    }
    constexpr unsigned long kPortAtLoad = 0x378;
    void* board = g_closed ? nullptr : table().simulated_board();
    if (board == nullptr && !g_closed) {
        board = table().find(kPortAtLoad, false).first->backend->simulated_board();
    }
    const char* path = board != nullptr ? dlportio::simulated_board_path(board, what) : nullptr;
    return path != nullptr ? path : "";
}
