// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The Debian packages as debhelper makes them: `cmake --install` of this build
// with prefix /usr, split by debian/*.install. Every installed file goes to one
// package, and the installed quillon-cli answers from the tree.
#include <fnmatch.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "shell.h"

namespace quillon::packaging {
namespace {

namespace fs = std::filesystem;

const fs::path kDebian = fs::path(QUILLON_SOURCE_DIR) / "debian";

// One line of debian/<package>.install, in the build's own library folder.
struct InstallLine {
    std::string package;
    std::string pattern;  // a glob, or a folder ending in '/' that takes all below it
    bool claims(const std::string& path) const {
        return pattern.ends_with('/') ? path.starts_with(pattern)
                                      : ::fnmatch(pattern.c_str(), path.c_str(), FNM_PATHNAME) == 0;
    }
};

std::vector<InstallLine> install_lines() {
    std::vector<InstallLine> lines;
    for (const auto& entry : fs::directory_iterator(kDebian)) {
        const std::string package = entry.path().stem().string();
        if (entry.path().extension() != ".install") {
            continue;
        }
        for (std::string line : lines_of(read_text(entry.path()))) {
            if (line.empty() || line.starts_with('#')) {
                continue;
            }
            line = std::regex_replace(line, std::regex(R"(lib/\$\{DEB_HOST_MULTIARCH\})"),
                                      QUILLON_LIBDIR);
            lines.push_back({package, line});
        }
    }
    return lines;
}

class DebianInstall : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch_ = std::make_unique<ScratchFolder>();
        const ShellResult installed =
            run_shell("DESTDIR=" + quoted(root()) + " " + quoted(CMAKE_COMMAND) + " --install " +
                      quoted(QUILLON_BUILD_DIR) + " --prefix /usr");
        install_output_ = installed.exit_code == 0 ? "" : installed.output;
        for (const auto& entry : fs::recursive_directory_iterator(root())) {
            if (!entry.is_directory() || entry.is_symlink()) {
                files_.push_back(entry.path().lexically_relative(root()).string());
            }
        }
    }
    static void TearDownTestSuite() { scratch_.reset(); }

    void SetUp() override { ASSERT_EQ(install_output_, ""); }

    static fs::path root() { return *scratch_ / "root"; }
    // The packages whose .install lines take this path.
    static std::vector<std::string> packages_of(const std::string& path) {
        std::vector<std::string> packages;
        for (const InstallLine& line : lines_) {
            if (line.claims(path)) {
                packages.push_back(line.package);
            }
        }
        return packages;
    }

    static inline std::unique_ptr<ScratchFolder> scratch_;
    static inline std::string install_output_;
    static inline std::vector<std::string> files_;
    static inline const std::vector<InstallLine> lines_ = install_lines();
};

TEST_F(DebianInstall, EveryInstalledFileGoesToExactlyOnePackage) {
    ASSERT_FALSE(files_.empty());
    for (const std::string& path : files_) {
        const std::vector<std::string> packages = packages_of(path);
        EXPECT_EQ(packages.size(), 1u)
            << path
            << (packages.empty()
                    ? " is installed but no debian/*.install takes it"
                    : " is taken by more than one package: " + packages[0] + " and " + packages[1]);
    }
    for (const InstallLine& line : lines_) {
        if (line.package == "quillon" && !QUILLON_FRONT) {
            continue;  // its manual page is installed all the same
        }
        EXPECT_TRUE(std::any_of(files_.begin(), files_.end(),
                                [&](const std::string& path) { return line.claims(path); }))
            << "debian/" << line.package << ".install: " << line.pattern << " takes no file";
    }
}

TEST_F(DebianInstall, EachPackageHoldsWhatItIsFor) {
    const std::string lib = "usr/" + std::string(QUILLON_LIBDIR);
    std::map<std::string, std::string> expected{
        {lib + "/libvandrel.so.1", "libvandrel1"},
        {lib + "/libdlportio.so.1", "libvandrel1"},
        {lib + "/quillon/libquillon-simboard.so", "libvandrel1"},
        {lib + "/quillon/libquillon-s51-wake.so", "libvandrel1"},
        {lib + "/libvandrel.so", "libvandrel-dev"},
        {lib + "/libdlportio.so", "libvandrel-dev"},
        {"usr/include/vandrel.h", "libvandrel-dev"},
        {"usr/include/vandrel_board.h", "libvandrel-dev"},
        {"usr/include/dlportio.h", "libvandrel-dev"},
        {"usr/include/vandrel-8051/vandrel_sim.h", "libvandrel-dev"},
        {lib + "/pkgconfig/vandrel.pc", "libvandrel-dev"},
        {lib + "/cmake/vandrel/vandrelConfig.cmake", "libvandrel-dev"},
        {lib + "/cmake/vandrel/vandrelConfigVersion.cmake", "libvandrel-dev"},
        {lib + "/cmake/vandrel/vandrelTargets.cmake", "libvandrel-dev"},
        {"usr/share/man/man3/libvandrel.3.gz", "libvandrel-dev"},
        {"usr/bin/quillon-cli", "quillon-cli"},
        {"usr/share/man/man1/quillon-cli.1.gz", "quillon-cli"},
        {"usr/share/bash-completion/completions/quillon-cli", "quillon-cli"},
    };
    if (QUILLON_FRONT) {
        for (const char* path : {"usr/bin/quillon", "usr/share/man/man1/quillon.1.gz",
                                 "usr/share/applications/quillon.desktop",
                                 "usr/share/metainfo/io.github.quillon.Quillon.metainfo.xml",
                                 "usr/share/icons/hicolor/16x16/apps/quillon.png",
                                 "usr/share/icons/hicolor/32x32/apps/quillon.png",
                                 "usr/share/icons/hicolor/scalable/apps/quillon.svg"}) {
            expected[path] = "quillon";
        }
    }
    for (const auto& [path, package] : expected) {
        EXPECT_TRUE(fs::exists(root() / path)) << path << " is not installed";
        EXPECT_EQ(packages_of(path), std::vector<std::string>{package}) << path;
    }
}

TEST_F(DebianInstall, HoldsNothingFromTheBuildOrOutsideUsr) {
    for (const std::string& path : files_) {
        EXPECT_TRUE(path.starts_with("usr/")) << path;
        EXPECT_FALSE(path.ends_with(".a")) << path;
        EXPECT_EQ(path.find("test"), std::string::npos) << path;
        EXPECT_EQ(path.find("nosleep"), std::string::npos) << path;
    }
}

TEST_F(DebianInstall, PkgConfigFileNamesUsrAsItsPrefix) {
    const std::string pc = read_text(root() / "usr" / QUILLON_LIBDIR / "pkgconfig/vandrel.pc");
    EXPECT_TRUE(std::regex_search(pc, std::regex("(^|\n)prefix=/usr\n"))) << pc;
}

TEST_F(DebianInstall, ProgramsBindEverySymbolAtStart) {
    std::vector<std::string> programs{"quillon-cli"};
    if (QUILLON_FRONT) {
        programs.emplace_back("quillon");
    }
    for (const std::string& program : programs) {
        const ShellResult dynamic = run_shell("readelf -d " + quoted(root() / "usr/bin" / program));
        EXPECT_TRUE(std::regex_search(dynamic.output, std::regex(R"(\(FLAGS(_1)?\).*\bNOW\b)")))
            << program << " binds lazily:\n"
            << dynamic.output;
    }
}

TEST_F(DebianInstall, InstalledQuillonCliFindsItsLibrariesAndAnswers) {
    const ShellResult info = run_shell(
        "env -u LD_LIBRARY_PATH DLPORTIO_BACKEND=sim DLPORTIO_SIM_RAM=" +
        quoted(*scratch_ / "board.ram") + " " + quoted(root() / "usr/bin/quillon-cli") + " info");
    EXPECT_EQ(info.exit_code, 0) << info.output;
    EXPECT_NE(info.output.find("library version: 1.02.000"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("sim (RAM "), std::string::npos) << info.output;
}

// debian/control's paragraph of one binary package, or the source's for "".
std::string control_paragraph(const std::string& package) {
    const std::string control = read_text(kDebian / "control");
    const std::string head = package.empty() ? "Source: " : "\nPackage: " + package + "\n";
    const auto from = control.find(head);
    return from == std::string::npos ? "" : control.substr(from, control.find("\n\n", from) - from);
}

TEST(DebianControl, DependenciesComeFromTheBinariesAndTheSimulatorIsRecommended) {
    for (const char* package : {"libvandrel1", "quillon-cli", "quillon"}) {
        EXPECT_NE(control_paragraph(package).find("${shlibs:Depends}"), std::string::npos)
            << package;
    }
    const std::string cli = control_paragraph("quillon-cli");
    EXPECT_TRUE(std::regex_search(cli, std::regex("\nRecommends:\\s+sdcc-ucsim,\n"))) << cli;
    EXPECT_TRUE(std::regex_search(cli, std::regex("\nSuggests:\\s+sdcc,\n"))) << cli;
    EXPECT_EQ(cli.find("qt6"), std::string::npos) << cli;
    EXPECT_NE(control_paragraph("quillon").find("qt6-translations-l10n"), std::string::npos);
    EXPECT_NE(control_paragraph("").find("Section: electronics"), std::string::npos);
}

TEST(DebianChangelog, NewestEntryIsThisVersion) {
    const std::string changelog = read_text(kDebian / "changelog");
    EXPECT_TRUE(changelog.starts_with("quillon (" + std::string(QUILLON_VERSION) + ") "))
        << changelog.substr(0, changelog.find('\n'));
}

TEST(Licensing, EverySourceFileCarriesTheLicenceDebianCopyrightGivesIt) {
    if (!fs::exists(fs::path(QUILLON_SOURCE_DIR) / ".git")) {
        GTEST_SKIP() << "the files are listed by git";
    }
    const ShellResult check = run_shell(
        "python3 " + quoted(std::string(QUILLON_SOURCE_DIR) + "/scripts/spdx-headers.py") +
        " --check");
    EXPECT_EQ(check.exit_code, 0) << check.output
                                  << "(scripts/spdx-headers.py gives new files their header)";
}

}  // namespace
}  // namespace quillon::packaging
