// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The board query over dlportio_setup: which board a port reaches, its lines, the trace.
#include "board_query.h"

#include <dlportio.h>

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

}  // namespace board_query
