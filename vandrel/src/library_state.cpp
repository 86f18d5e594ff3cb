// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The library's one state record and its reset for tests.
#include "library_state.h"

namespace vandrel {

void reset_state() {
    g_state = LibraryState{};
}

}  // namespace vandrel
