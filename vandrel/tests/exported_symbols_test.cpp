// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Checks the built shared libraries: the fourteen C exports and nothing else of ours,
// the port-access layer bound at load time, and each library's ABI as the Debian
// symbols file records it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string output_of(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string text;
    if (!pipe) {
        return text;
    }
    char chunk[4096];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe.get())) > 0) {
        text.append(chunk, n);
    }
    return text;
}

std::set<std::string> defined_dynamic_symbols(const std::string& library) {
    std::istringstream lines(output_of("nm -D --defined-only '" + library + "'"));
    std::set<std::string> symbols;
    const std::set<std::string> from_linker = {"_init", "_fini", "_edata", "_end", "__bss_start"};
    std::string line;
    while (std::getline(lines, line)) {
        const auto name = line.substr(line.find_last_of(' ') + 1);
        if (!name.empty() && from_linker.count(name) == 0) {
            symbols.insert(name);
        }
    }
    return symbols;
}

std::set<std::string> needed_libraries(const std::string& library) {
    std::istringstream lines(output_of("readelf -d '" + library + "'"));
    std::set<std::string> needed;
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find("(NEEDED)") == std::string::npos) {
            continue;
        }
        const auto open = line.find('[');
        const auto close = line.find(']');
        if (open != std::string::npos && close != std::string::npos) {
            needed.insert(line.substr(open + 1, close - open - 1));
        }
    }
    return needed;
}

const std::set<std::string> kExports = {"getBuffer",     "setCallback", "set_delay",   "get_delay",
                                        "reset",         "read_ram",    "write_ram",   "read_file",
                                        "write_file",    "get_version", "get_bufsize", "get_chsum",
                                        "get_LastError", "set_Port"};

struct Build {
    const char* name;
    const char* library;
};

void PrintTo(const Build& build, std::ostream* out) {
    *out << build.library;
}

class SharedLibrary : public ::testing::TestWithParam<Build> {};

TEST_P(SharedLibrary, ExportsExactlyTheFourteenFunctions) {
    EXPECT_EQ(defined_dynamic_symbols(GetParam().library), kExports);
}

TEST_P(SharedLibrary, BindsThePortAccessLayerAtLoad) {
    EXPECT_EQ(needed_libraries(GetParam().library).count("libdlportio.so.1"), 1u);
    EXPECT_EQ(output_of("nm -D --undefined-only '" + std::string(GetParam().library) +
                        "' | grep -c DlPort"),
              "2\n");
}

// An older port-access layer without the pause function: the library still
// loads, and its reset pulse and a transfer's opening pause take real time.
TEST(OlderPortAccessLayer, LibraryLoadsAndSleepsItsPauses) {
    void* layer = ::dlopen(TWO_BYTE_FUNCTIONS_LIBRARY, RTLD_NOW | RTLD_GLOBAL);
    ASSERT_NE(layer, nullptr) << ::dlerror();
    ASSERT_EQ(::dlsym(layer, "dlportio_pass_time"), nullptr);
    // Its soname is the layer's, so the library binds it instead of the real one.
    void* library = ::dlopen(VANDREL_LIBRARY, RTLD_NOW);
    ASSERT_NE(library, nullptr) << ::dlerror();
    const auto reset_board = reinterpret_cast<void (*)()>(::dlsym(library, "reset"));
    const auto download =
        reinterpret_cast<unsigned short (*)(unsigned short)>(::dlsym(library, "read_ram"));
    const auto* written =
        static_cast<unsigned char*>(::dlsym(layer, "two_byte_functions_last_written"));
    ASSERT_TRUE(reset_board && download && written);
    const auto seconds = [](auto operation) {
        const auto start = std::chrono::steady_clock::now();
        operation();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    EXPECT_GE(seconds([&] { reset_board(); }), 1.0);
    EXPECT_EQ(*written, 0xC0) << "the reset went to the older layer";
    EXPECT_GE(seconds([&] { EXPECT_EQ(download(1), 1); }), 0.5);
    EXPECT_EQ(*written, 0xC8);
}

INSTANTIATE_TEST_SUITE_P(Builds, SharedLibrary,
                         ::testing::Values(Build{"real", VANDREL_LIBRARY},
                                           Build{"nosleep", VANDREL_NOSLEEP_LIBRARY}),
                         [](const auto& info) { return std::string(info.param.name); });

// debian/libvandrel1.symbols: for each soname, the symbols it exports.
std::map<std::string, std::set<std::string>> recorded_symbols() {
    std::ifstream in(std::string(QUILLON_SOURCE_DIR) + "/debian/libvandrel1.symbols");
    std::map<std::string, std::set<std::string>> recorded;
    std::string soname;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && std::string(" *#").find(line[0]) == std::string::npos) {
            soname = line.substr(0, line.find(' '));
        } else if (line.starts_with(" ") && line.find('@') != std::string::npos) {
            recorded[soname].insert(line.substr(1, line.find('@') - 1));
        }
    }
    return recorded;
}

std::string listed(const std::set<std::string>& names, const std::set<std::string>& without) {
    std::string text;
    for (const std::string& name : names) {
        text += without.contains(name) ? "" : " " + name;
    }
    return text.empty() ? " -" : text;
}

struct Shipped {
    const char* name;
    const char* soname;
    const char* library;
};

void PrintTo(const Shipped& shipped, std::ostream* out) {
    *out << shipped.soname;
}

class ShippedLibrary : public ::testing::TestWithParam<Shipped> {};

TEST_P(ShippedLibrary, ExportsExactlyWhatTheSymbolsFileRecords) {
    const std::string soname = GetParam().soname;
    EXPECT_NE(output_of("readelf -d '" + std::string(GetParam().library) + "'")
                  .find("Library soname: [" + soname + "]"),
              std::string::npos);
    const std::set<std::string> exported = defined_dynamic_symbols(GetParam().library);
    const std::set<std::string> recorded = recorded_symbols()[soname];
    EXPECT_EQ(exported, recorded)
        << soname << " exports, but debian/libvandrel1.symbols lacks:" << listed(exported, recorded)
        << "\n(a new function declared with its header's _API macro: add it there as"
           " ' name@Base <package version>')\nrecorded but not exported:"
        << listed(recorded, exported);
}

INSTANTIATE_TEST_SUITE_P(Debian, ShippedLibrary,
                         ::testing::Values(Shipped{"vandrel", "libvandrel.so.1", VANDREL_LIBRARY},
                                           Shipped{"dlportio", "libdlportio.so.1",
                                                   DLPORTIO_LIBRARY}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
