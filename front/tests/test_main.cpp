// Runs the front-end tests on the simulated board, with a scratch RAM file and
// config folder, under the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "quillon_resources.h"

// Qt and fontconfig keep caches until exit that LeakSanitizer would report as ours.
extern "C" const char* __asan_default_options() {
    return "detect_leaks=0";
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();  // listing needs no display and no board
    }

    std::string scratch =
        (std::filesystem::temp_directory_path() / "quillon-front-tests-XXXXXX").string();
    if (::mkdtemp(scratch.data()) == nullptr) {
        return 2;
    }
    ::setenv("DLPORTIO_BACKEND", "sim", 1);
    ::setenv("DLPORTIO_SIM_RAM", (scratch + "/board.ram").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (scratch + "/config").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);

    const QApplication application(argc, argv);
    quillon::install_resources();
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    return result;
}
