#include "library_state.h"

namespace vandrel {

namespace {
constinit LibraryState g_state{};
}

LibraryState& state() {
    return g_state;
}

void reset_state() {
    g_state = LibraryState{};
}

}  // namespace vandrel
