/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The layer's settings, read from the environment once: every part of the
// layer takes them from here. The simulated board reads its own.
#pragma once

#include <string>

#include "parport_discovery.h"

namespace dlportio {

struct Settings {
    std::string backend;  // DLPORTIO_BACKEND: auto (also when empty), or a back end's name
    std::string device;   // DLPORTIO_DEVICE: one /dev/parportN for every base address
    std::string base;     // DLPORTIO_BASE: the I/O address every base address is taken to
    std::string trace;    // DLPORTIO_TRACE
    SystemPaths paths;
};

Settings settings_from_environment();

}  // namespace dlportio
