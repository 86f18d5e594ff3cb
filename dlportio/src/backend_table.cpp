// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "backend_table.h"

#include <algorithm>
#include <array>

#include "direct_port.h"
#include "ppdev_port.h"
#include "sim_backend.h"

namespace dlportio {

namespace {

constexpr std::array kRows{
    BackendRow{"sim", Kind::simulated, Place::process, open_simulated},
    BackendRow{"ppdev", Kind::real_port, Place::device, open_ppdev},
    BackendRow{"direct", Kind::real_port, Place::address, open_direct},
};

}  // namespace

const BackendRow* find_backend(std::string_view name) {
    const auto row = std::ranges::find(kRows, name, &BackendRow::name);
    return row != kRows.end() ? &*row : nullptr;
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
