// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The board query over dlportio_setup: which board a port reaches, its lines, the trace.
#include "board_query.h"

#include <dlportio.h>

#include <cstring>

namespace board_query {

Board board_at(std::uint16_t base) {
    const char* text = nullptr;
    const int kind = dlportio_setup(base, &text);
    Board board;
    board.reach = kind == DLPORTIO_NO_BOARD    ? Reach::none
                  : kind == DLPORTIO_SIMULATED ? Reach::simulated
                                               : Reach::port;
    board.text = text != nullptr ? text : "";
    board.address = dlportio_address(base);
    return board;
}

std::string access_name(std::uint16_t base) {
    return dlportio_backend_name(base);
}

namespace {
bool g_quiet = false;
}  // namespace

void set_quiet(bool quiet) {
    g_quiet = quiet;
    dlportio_quiet(quiet ? 1 : 0);
}

void set_line_open(bool open) {
    dlportio_line_open(open ? 1 : 0);
}

bool quiet() {
    return g_quiet;
}

void flush_trace() noexcept {
    dlportio_trace_flush();
}

void write_port(unsigned long port, unsigned char value) {
    DlPortWritePortUchar(port, value);
}

unsigned char read_port(unsigned long port) {
    return DlPortReadPortUchar(port);
}

std::optional<unsigned char> read_data_lines(unsigned long port) {
    unsigned char value = 0;
    if (dlportio_read_data(port, &value) == 0) {
        return std::nullopt;
    }
    return value;
}

AccessFailures failed_accesses(std::uint16_t base) {
    AccessFailures failures;
    failures.count = dlportio_failed_accesses(base, &failures.last_error);
    return failures;
}

std::optional<std::string> failure_since(std::uint16_t base, unsigned long before) {
    const AccessFailures failures = failed_accesses(base);
    if (failures.count <= before) {
        return std::nullopt;
    }
    return std::string("the port stopped answering: ") + std::strerror(failures.last_error);
}

}  // namespace board_query
