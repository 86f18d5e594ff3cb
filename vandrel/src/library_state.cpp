#include "library_state.h"

namespace vandrel {

void reset_state() {
    g_state = LibraryState{};
}

}  // namespace vandrel
