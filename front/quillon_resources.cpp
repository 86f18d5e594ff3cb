// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The program's strings and icons, handed to the windowing layer.
#include "quillon_resources.h"

#include <array>
#include <string_view>

#include "resource_ids.h"
#include "windowing/resources.h"

namespace quillon {

namespace {

constexpr std::array strings{
    windowing::StringResource{IDS_ABOUTBOX, "Inf&o über Quillon..."},
};

constexpr std::array<std::string_view, 2> program_icon_images{
    ":/icons/quillon-32.png",
    ":/icons/quillon-16.png",
};

constexpr std::array icons{
    windowing::IconResource{IDR_MAINFRAME, program_icon_images},
};

}  // namespace

void install_resources() {
    windowing::set_resources(strings, icons);
}

}  // namespace quillon
