// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The back-end table's rows, and the order in which auto tries them.
#include "backend_table.h"

#include <algorithm>
#include <array>

namespace dlportio {

// Each defined in the back end's own file.
OpenBackend open_simulated;
OpenBackend open_ppdev;
OpenBackend open_direct;

namespace {

// `auto` takes ppdev where the kernel knows a port for the address, the
// simulated board only where the machine has no parallel port at all, and
// never direct I/O, which needs privileges and drives an address blind.
constexpr std::array kRows{
    BackendRow{"sim", Kind::simulated, Place::process, 2, open_simulated},
    BackendRow{"ppdev", Kind::real_port, Place::device, 1, open_ppdev},
    BackendRow{"direct", Kind::real_port, Place::address, 0, open_direct},
};

struct AutoRows {
    std::array<const BackendRow*, kRows.size()> rows{};
    std::size_t count = 0;
};

constexpr AutoRows kAutoRows = [] {
    AutoRows order;
    for (const BackendRow& row : kRows) {
        if (row.auto_rank > 0) {
            order.rows[order.count++] = &row;
        }
    }
    std::sort(order.rows.begin(), order.rows.begin() + order.count,
              [](const BackendRow* a, const BackendRow* b) { return a->auto_rank < b->auto_rank; });
    return order;
}();

constexpr bool ranks_distinct() {
    for (std::size_t i = 1; i < kAutoRows.count; ++i) {
        if (kAutoRows.rows[i - 1]->auto_rank == kAutoRows.rows[i]->auto_rank) {
            return false;
        }
    }
    return true;
}
static_assert(ranks_distinct(), "two rows of one rank leave auto's choice to the table's order");

}  // namespace

std::span<const BackendRow> backend_rows() {
    return kRows;
}

const BackendRow* find_backend(std::string_view name) {
    const auto row = std::ranges::find(kRows, name, &BackendRow::name);
    return row != kRows.end() ? &*row : nullptr;
}

std::span<const BackendRow* const> auto_rows() {
    return {kAutoRows.rows.data(), kAutoRows.count};
}

std::string backend_names() {
    std::string names = "auto";
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        names += i + 1 < kRows.size() ? ", " : " or ";
        names += kRows[i].name;
    }
    return names;
}

}  // namespace dlportio
