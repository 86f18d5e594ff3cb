#include <vandrel.h>

#include "command.h"

namespace qcli {

std::ostream& Context::info() {
    // A stream without a buffer swallows whatever is written to it.
    static std::ostream discard(nullptr);
    return options.quiet ? discard : out;
}

int Context::fail(std::string_view message) {
    err << kProgramName << ": " << message << '\n';
    return kExitFailed;
}

int Context::library_failure() {
    return fail(get_LastError());
}

void Context::finish_transfer() {
    if (!options.no_reset) {
        reset();
    }
}

}  // namespace qcli
