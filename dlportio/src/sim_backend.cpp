// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// The simulated board as a back end, its library loaded on first use.
#include "sim_backend.h"

#include <dlfcn.h>
#include <simboard.h>

#include <memory>
#include <string>

#include "backend.h"
#include "messages.h"

namespace dlportio {

namespace {

// The library's functions, looked up once. It is never unloaded: its threads
// and the board's last write-back may run until the process ends.
struct SimLibrary {
    decltype(&simboard_open) open = nullptr;
    decltype(&simboard_close) close = nullptr;
    decltype(&simboard_write_data) write_data = nullptr;
    decltype(&simboard_read_status) read_status = nullptr;
    decltype(&simboard_pass_time) pass_time = nullptr;
    decltype(&simboard_describe) describe = nullptr;
    decltype(&simboard_path) path = nullptr;
    std::string error;
};

template <typename Function>
bool look_up(void* handle, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::dlsym(handle, name));
    return function != nullptr;
}

// The library from the private folder beside this layer's own file, found by
// the layer's address and not by its run path: a sanitizer's dlopen runs from
// its own runtime and would search that one's. Where the layer is linked into a
// program (its tests), the program's run path finds the library by name.
void* open_library() {
    Dl_info self{};
    if (::dladdr(reinterpret_cast<void*>(&open_library), &self) != 0 && self.dli_fname != nullptr) {
        const std::string file = self.dli_fname;
        const std::size_t slash = file.rfind('/');
        const std::string beside =
            (slash == std::string::npos ? std::string() : file.substr(0, slash + 1)) +
            "quillon/" SIMBOARD_LIBRARY;
        if (void* handle = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            return handle;
        }
    }
    return ::dlopen(SIMBOARD_LIBRARY, RTLD_NOW | RTLD_LOCAL);
}

SimLibrary load_library() {
    SimLibrary library;
    void* handle = open_library();
    if (handle == nullptr || !(look_up(handle, "simboard_open", library.open) &&
                               look_up(handle, "simboard_close", library.close) &&
                               look_up(handle, "simboard_write_data", library.write_data) &&
                               look_up(handle, "simboard_read_status", library.read_status) &&
                               look_up(handle, "simboard_pass_time", library.pass_time) &&
                               look_up(handle, "simboard_describe", library.describe) &&
                               look_up(handle, "simboard_path", library.path))) {
        const char* error = ::dlerror();
        library.open = nullptr;
        library.error = error != nullptr ? error : "no such library";
    }
    return library;
}

const SimLibrary& library() {
    static const SimLibrary loaded = load_library();
    return loaded;
}

class SimBackend final : public Backend {
public:
    SimBackend(const SimLibrary& library, simboard* board)
        : board_(board),
          write_(library.write_data),
          read_(library.read_status),
          pass_(library.pass_time),
          close_(library.close) {}
    ~SimBackend() override { close_(board_); }
    SimBackend(const SimBackend&) = delete;
    SimBackend& operator=(const SimBackend&) = delete;

    void write_data(std::uint8_t value) override { write_(board_, value); }
    std::uint8_t read_status() override { return read_(board_); }
    bool pass_time(std::uint32_t /*ms*/) override {
        pass_(board_);
        return true;
    }
    void* simulated_board() override { return board_; }

private:
    simboard* board_;
    decltype(&simboard_write_data) write_;
    decltype(&simboard_read_status) read_;
    decltype(&simboard_pass_time) pass_;
    decltype(&simboard_close) close_;
};

void tell_line(const char* line) {
    tell(line);
}

}  // namespace

const char* simulated_board_path(void* board, const char* what) {
    const SimLibrary& loaded = library();
    return loaded.open != nullptr ? loaded.path(static_cast<simboard*>(board), what) : nullptr;
}

// The sim row of the back-end table. The board reads its own settings: this
// layer only opens it.
Opened open_simulated(const Machine&, const std::string&) {
    const SimLibrary& loaded = library();
    if (loaded.open == nullptr) {
        return {nullptr, "the simulated board is not installed (" + loaded.error + ")"};
    }
    const char* why = nullptr;
    simboard* board = loaded.open(tell_line, &why);
    if (board == nullptr) {
        return {nullptr, why != nullptr ? why : "the simulated board did not open"};
    }
    std::string name = loaded.describe(board);
    return {std::make_unique<SimBackend>(loaded, board), std::move(name)};
}

}  // namespace dlportio
