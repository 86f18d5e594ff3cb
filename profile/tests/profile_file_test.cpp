// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The settings file on disk: what is read, what a write leaves, and files that
// are no settings file at all.
#include "profile/profile_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "profile/config_folder.h"

namespace quillon::profile {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> notes;

void record_note(std::string_view note) {
    notes.emplace_back(note);
}

class ProfileFile : public testing::Test {
protected:
    void SetUp() override {
        std::string name = (fs::temp_directory_path() / "quillon-profile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        folder_ = name;
        notes.clear();
        previous_ = set_note_sink(&record_note);
    }
    void TearDown() override {
        set_note_sink(previous_);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    fs::path path(const char* name) const { return folder_ / name; }

    static void put(const fs::path& file, const std::string& text) {
        std::ofstream(file, std::ios::binary) << text;
    }
    static std::string text_of(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path folder_;
    NoteSink previous_ = nullptr;
};

TEST_F(ProfileFile, ReadsNamesOfAnyCase) {
    const fs::path file = path("quillon.INI");
    put(file, "[Section]\ndelay=20\nPORT = 2abc\n");
    EXPECT_EQ(get_int(file, "section", "Delay", 10), 20);
    EXPECT_EQ(get_int(file, "section", "Port", 1), 2);
    EXPECT_EQ(get_int(file, "section", "Other", 5), 5);
    EXPECT_EQ(get_int(file, "other", "Delay", 3), 3);
    EXPECT_EQ(get_int(path("missing.INI"), "section", "Delay", 10), 10);
    EXPECT_TRUE(notes.empty());  // a missing file is the normal first start
}

TEST_F(ProfileFile, WritingCreatesFolderFileSectionAndKey) {
    const fs::path file = folder_ / "new" / "folder" / "quillon.INI";
    EXPECT_TRUE(write_string(file, "section", "Delay", "42"));
    EXPECT_TRUE(write_string(file, "section", "Port", "2"));
    EXPECT_EQ(text_of(file), "[section]\nDelay=42\nPort=2\n");
    EXPECT_EQ(get_int(file, "section", "Delay", 10), 42);
}

TEST_F(ProfileFile, WritingKeepsEveryOtherLineAndThePermissions) {
    const fs::path file = path("quillon.INI");
    const std::string before =
        "; my board\r\n[Section]\r\nPort=2\r\ndelay = 3\r\n\r\n[x]\r\nk=v\r\n";
    put(file, before);
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    EXPECT_TRUE(write_string(file, "section", "Delay", "10"));
    EXPECT_EQ(text_of(file),
              "; my board\r\n[Section]\r\nPort=2\r\ndelay = 10\r\n\r\n[x]\r\nk=v\r\n");
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    // Nothing is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

TEST_F(ProfileFile, WritingThroughALinkChangesTheFileItPointsTo) {
    const fs::path real = path("real.INI");
    const fs::path link = path("quillon.INI");
    put(real, "[section]\nDelay=3\n");
    fs::create_symlink(real, link);
    EXPECT_TRUE(write_string(link, "section", "Delay", "7"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(text_of(real), "[section]\nDelay=7\n");
}

// Files that are no settings file: each must give the default at once (a
// blocking read would hang the program's start) with one note, and must not
// be written.
class NotASettingsFile : public ProfileFile, public testing::WithParamInterface<const char*> {
protected:
    fs::path make(const std::string& kind) {
        const fs::path file = path("quillon.INI");
        if (kind == "fifo") {
            EXPECT_EQ(::mkfifo(file.c_str(), 0600), 0);
        } else if (kind == "link to /dev/zero") {
            fs::create_symlink("/dev/zero", file);
        } else if (kind == "folder") {
            fs::create_directory(file);
        } else if (kind == "too big") {
            put(file, "[section]\nDelay=3\n" + std::string(max_file_size, ';'));
        }
        return file;
    }
};

TEST_P(NotASettingsFile, GivesTheDefaultsAndOneNote) {
    const fs::path file = make(GetParam());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(get_int(file, "section", "Delay", 10), 10);
    EXPECT_EQ(get_int(file, "section", "Delay", 10), 10);
    EXPECT_EQ(get_int(file, "section", "Port", 1), 1);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find(file.string()), std::string::npos) << notes[0];
    EXPECT_NE(notes[0].find("default"), std::string::npos) << notes[0];

    EXPECT_FALSE(write_string(file, "section", "Delay", "5"));
    EXPECT_EQ(notes.size(), 2u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

INSTANTIATE_TEST_SUITE_P(Kinds, NotASettingsFile,
                         testing::Values("fifo", "link to /dev/zero", "folder", "too big"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

TEST_F(ProfileFile, AFileJustWithinTheLimitIsRead) {
    const fs::path file = path("quillon.INI");
    const std::string head = "[section]\nDelay=3\n";
    put(file, head + std::string(max_file_size - head.size(), ';'));
    EXPECT_EQ(get_int(file, "section", "Delay", 10), 3);
    EXPECT_TRUE(notes.empty());
}

TEST_F(ProfileFile, TheDefaultFileIsInTheConfigFolder) {
    const char* saved_xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string restore = saved_xdg != nullptr ? saved_xdg : "";
    ::setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
    EXPECT_EQ(settings_path(), folder_ / "quillon.INI");
    ::setenv("XDG_CONFIG_HOME", "relative/folder", 1);  // only an absolute path counts
    EXPECT_EQ(config_folder().filename(), ".config");
    if (saved_xdg != nullptr) {
        ::setenv("XDG_CONFIG_HOME", restore.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

}  // namespace
}  // namespace quillon::profile
