// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The fourteen C exports: argument checks and hand-over, nothing more.
#include <posix/standard_streams.h>

#include <iterator>

#include "board_lines.h"
#include "checksum.h"
#include "image_file.h"
#include "library_state.h"
#include "transfer.h"
#include "vandrel.h"
#include "vandrel_board.h"

extern "C" {

uint8_t* getBuffer(void) {
    return vandrel::state().buffer.data();
}

void setCallback(vandrel_progress_callback callback) {
    vandrel::state().callback = callback;
}

int32_t set_delay(uint8_t delay) {
    if (delay == 0) {
        return 0;
    }
    vandrel::state().delay = delay;
    return 1;
}

uint8_t get_delay(void) {
    return vandrel::state().delay;
}

void reset(void) {
    vandrel::pulse_reset();
}

uint16_t read_ram(uint16_t size) {
    return vandrel::download(size);
}

uint16_t write_ram(void) {
    return vandrel::upload();
}

uint16_t read_file(const char* name) {
    quillon::posix::keep_standard_streams_open();
    if (name == nullptr) {
        name = "";  // no name is refused like an empty one
    }
    return vandrel::load_image(name);
}

uint16_t write_file(const char* name) {
    quillon::posix::keep_standard_streams_open();
    if (name == nullptr) {
        name = "";
    }
    return vandrel::save_image(name);
}

const char* get_version(void) {
    return "1.02.000";
}

uint16_t get_bufsize(void) {
    return vandrel::state().buffer_size;
}

uint16_t get_chsum(void) {
    return vandrel::image_checksum();
}

const char* get_LastError(void) {
    return vandrel::state().last_error.data();
}

uint16_t set_Port(uint8_t index) {
    auto& port_base = vandrel::state().port_base;
    if (index < std::size(vandrel::board::kPortBases)) {
        port_base = vandrel::board::kPortBases[index];
    }
    return port_base;
}

}  // extern "C"
