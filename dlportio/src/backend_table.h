/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The back ends the layer knows, one row each: the name DLPORTIO_BACKEND gives
// it, its kind, what one opening of it serves, what `auto` makes of it, and
// how to open it. A back end is a file with its class and its open function,
// and a row in backend_table.cpp that names the function; the selection finds
// it there by name, or walks the rows `auto` may choose.
#pragma once

#include <dlportio.h>

#include <span>
#include <string>
#include <string_view>

#include "backend.h"

namespace dlportio {

// What kind of back end serves a base address, as dlportio_setup tells it.
enum class Kind {
    no_board = DLPORTIO_NO_BOARD,
    simulated = DLPORTIO_SIMULATED,
    real_port = DLPORTIO_REAL_PORT
};

// What one opening of a back end serves; the selection keeps one per place.
enum class Place {
    process,  // one for the whole process, whatever the base address
    device,   // a /dev/parportN, found for the base address
    address,  // an I/O address (the base address, or where DLPORTIO_BASE takes it)
};

struct BackendRow {
    std::string_view name;  // as DLPORTIO_BACKEND names it
    // Kind::real_port for a back end that drives a real parallel port: `auto`
    // takes one where the machine has a port for the address, and never puts
    // another board where one may hang.
    Kind kind;
    Place place;
    // `auto` tries its rows from the lowest rank up; 0: only when named.
    unsigned auto_rank;
    OpenBackend* open;

    constexpr bool real_port() const { return kind == Kind::real_port; }
};

// Every row, in the table's order.
std::span<const BackendRow> backend_rows();

// The row of that name, or null.
const BackendRow* find_backend(std::string_view name);

// The rows `auto` may choose, most preferred first.
std::span<const BackendRow* const> auto_rows();

// "auto, sim, ppdev or direct": what DLPORTIO_BACKEND takes, from the rows.
std::string backend_names();

}  // namespace dlportio
