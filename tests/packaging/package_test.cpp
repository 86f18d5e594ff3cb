// `cpack -G DEB` on this build: the package's file list, its control fields,
// and the packaged quillon-cli answering from an unpacked tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "shell.h"

namespace quillon::packaging {
namespace {

namespace fs = std::filesystem;

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

class DebPackage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch_ = std::make_unique<ScratchFolder>();
        const ShellResult made =
            run_shell(quoted(CPACK_COMMAND) + " -G DEB --config " +
                      quoted(std::string(QUILLON_BUILD_DIR) + "/CPackConfig.cmake") + " -B " +
                      quoted(scratch_->path()));
        cpack_output_ = made.output;
        const std::string arch = trimmed(run_shell("dpkg --print-architecture").output);
        deb_ = *scratch_ / ("quillon_" + std::string(QUILLON_VERSION) + "_" + arch + ".deb");
        for (const std::string& line : lines_of(run_shell("dpkg-deb -c " + quoted(deb_)).output)) {
            // "-rwxr-xr-x root/root 1234 2024-01-01 00:00 ./usr/bin/quillon-cli"
            if (const auto at = line.find(" ./"); at != std::string::npos) {
                files_.push_back(line.substr(at + 2, line.find(" -> ") - at - 2));
            }
        }
    }
    static void TearDownTestSuite() { scratch_.reset(); }

    void SetUp() override { ASSERT_TRUE(fs::exists(deb_)) << cpack_output_; }

    static std::string field(const std::string& name) {
        return trimmed(run_shell("dpkg-deb -f " + quoted(deb_) + " " + name).output);
    }
    static bool holds(const std::string& path) {
        return std::find(files_.begin(), files_.end(), path) != files_.end();
    }

    static inline std::unique_ptr<ScratchFolder> scratch_;
    static inline std::string cpack_output_;
    static inline fs::path deb_;
    static inline std::vector<std::string> files_;
};

TEST_F(DebPackage, HoldsWhatAnInstallNeeds) {
    const std::string lib = "/usr/" + std::string(QUILLON_LIBDIR);
    std::vector<std::string> expected{
        "/usr/bin/quillon-cli",
        lib + "/libvandrel.so",
        lib + "/libdlportio.so",
        lib + "/quillon/libquillon-simboard.so",
        "/usr/include/vandrel.h",
        "/usr/include/vandrel_board.h",
        "/usr/include/vandrel-8051/vandrel_sim.h",
        "/usr/include/dlportio.h",
        "/usr/include/vandrel-8051/vandrel_sim.h",
        lib + "/pkgconfig/vandrel.pc",
        lib + "/cmake/vandrel/vandrelConfig.cmake",
        lib + "/cmake/vandrel/vandrelConfigVersion.cmake",
        lib + "/cmake/vandrel/vandrelTargets.cmake",
        "/usr/share/man/man1/quillon.1.gz",
        "/usr/share/man/man1/quillon-cli.1.gz",
        "/usr/share/man/man3/libvandrel.3.gz",
        "/usr/share/bash-completion/completions/quillon-cli",
    };
    if (QUILLON_FRONT) {
        expected.insert(expected.end(),
                        {"/usr/bin/quillon", "/usr/share/applications/quillon.desktop",
                         "/usr/share/metainfo/io.github.quillon.Quillon.metainfo.xml",
                         "/usr/share/icons/hicolor/16x16/apps/quillon.png",
                         "/usr/share/icons/hicolor/32x32/apps/quillon.png",
                         "/usr/share/icons/hicolor/scalable/apps/quillon.svg"});
    }
    for (const std::string& path : expected) {
        EXPECT_TRUE(holds(path)) << path << " is not in the package";
    }
}

TEST_F(DebPackage, HoldsNothingFromTheBuildOrOutsideUsr) {
    ASSERT_FALSE(files_.empty());
    for (const std::string& path : files_) {
        EXPECT_TRUE(path.starts_with("/usr/")) << path;
        EXPECT_FALSE(path.ends_with(".a")) << path;
        EXPECT_EQ(path.find("test"), std::string::npos) << path;
        EXPECT_EQ(path.find("nosleep"), std::string::npos) << path;
    }
}

TEST_F(DebPackage, ControlFieldsNameTheLibrariesItNeedsAndRecommendTheSimulator) {
    EXPECT_EQ(field("Package"), "quillon");
    EXPECT_EQ(field("Version"), QUILLON_VERSION);
    EXPECT_EQ(field("Section"), "electronics");
    EXPECT_NE(field("Maintainer").find('<'), std::string::npos) << field("Maintainer");
    const std::string depends = field("Depends");
    // Worked out from the binaries, so it holds the C library with a version.
    EXPECT_NE(depends.find("libc6 (>="), std::string::npos) << depends;
    if (QUILLON_FRONT) {
        EXPECT_NE(depends.find("libqt6widgets6"), std::string::npos) << depends;
        EXPECT_NE(depends.find("qt6-translations-l10n"), std::string::npos) << depends;
    }
    EXPECT_EQ(depends.find("sdcc"), std::string::npos) << depends;
    EXPECT_EQ(field("Recommends"), "sdcc-ucsim");
    const std::vector<std::string> description = lines_of(field("Description"));
    ASSERT_GE(description.size(), 3u);
    EXPECT_FALSE(description[0].empty());
    EXPECT_TRUE(description[1].starts_with(" ")) << description[1];
}

TEST_F(DebPackage, PkgConfigFileNamesUsrAsItsPrefix) {
    const std::string pc = "./usr/" + std::string(QUILLON_LIBDIR) + "/pkgconfig/vandrel.pc";
    const ShellResult text =
        run_shell("dpkg-deb --fsys-tarfile " + quoted(deb_) + " | tar -xOf - " + quoted(pc));
    ASSERT_EQ(text.exit_code, 0) << text.output;
    EXPECT_TRUE(text.output.starts_with("prefix=/usr\n")) << text.output;
}

TEST_F(DebPackage, UnpackedQuillonCliFindsItsLibrariesAndAnswers) {
    const fs::path root = *scratch_ / "root";
    ASSERT_EQ(run_shell("dpkg-deb -x " + quoted(deb_) + " " + quoted(root)).exit_code, 0);
    const ShellResult info = run_shell(
        "env -u LD_LIBRARY_PATH DLPORTIO_BACKEND=sim DLPORTIO_SIM_RAM=" +
        quoted(*scratch_ / "board.ram") + " " + quoted(root / "usr/bin/quillon-cli") + " info");
    EXPECT_EQ(info.exit_code, 0) << info.output;
    EXPECT_NE(info.output.find("library version: 1.02.000"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("sim (RAM "), std::string::npos) << info.output;
}

}  // namespace
}  // namespace quillon::packaging
