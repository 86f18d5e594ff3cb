/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Every library test starts from the state the library has at load, with an empty
// port log.
#pragma once

#include <gtest/gtest.h>

#include "library_state.h"
#include "port_recorder.h"

namespace vandrel_test {

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        vandrel::reset_state();
        recorder().clear();
    }
    void TearDown() override { recorder().clear(); }

    // Puts an image into the buffer as a load would.
    static void put_image(const std::vector<std::uint8_t>& bytes) {
        auto& st = vandrel::state();
        std::copy(bytes.begin(), bytes.end(), st.buffer.begin());
        st.buffer_size = static_cast<std::uint16_t>(bytes.size());
    }
};

}  // namespace vandrel_test
