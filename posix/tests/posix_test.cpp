// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The shared POSIX pieces: a replaced file, a whole write through a pipe, and
// the home folder's rule.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "posix/home_folder.h"
#include "posix/replace_file.h"
#include "posix/write_all.h"
#include "quillon_test/scratch_folder.h"

namespace quillon::posix {
namespace {

namespace fs = std::filesystem;

std::string text_of(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// How the replacement ends: committed, abandoned, or with a folder in the way.
enum class Ending { commit, abandon, folder_in_the_way };

struct ReplaceCase {
    const char* name;
    Ending ending;
    bool through_link;
    const char* expected;  // the old file's content afterwards
};

class Replace : public testing::TestWithParam<ReplaceCase> {};

TEST_P(Replace, ChangesTheFileOnlyWhenCommittedAndLeavesNothingBeside) {
    const ReplaceCase& c = GetParam();
    const quillon_test::ScratchFolder scratch;
    scratch.put("real", "old");
    ASSERT_EQ(::chmod((scratch / "real").c_str(), 0640), 0);
    fs::path target = scratch / "real";
    if (c.through_link) {
        fs::create_symlink("real", scratch / "link");
        target = scratch / "link";
    }
    if (c.ending == Ending::folder_in_the_way) {
        fs::create_directories(scratch / "dir" / "full");
        target = scratch / "dir";
    }
    {
        Replacement replacement(target);
        ASSERT_TRUE(replacement.ok()) << std::strerror(replacement.error());
        ASSERT_TRUE(write_all(replacement.fd(), std::string_view("new")));
        if (c.ending == Ending::commit) {
            EXPECT_EQ(replacement.commit(), Replacement::Failure::none);
        } else if (c.ending == Ending::folder_in_the_way) {
            EXPECT_EQ(replacement.commit(), Replacement::Failure::rename);
        }
    }
    EXPECT_EQ(text_of(scratch / "real"), c.expected);
    struct stat info {};
    ASSERT_EQ(::stat((scratch / "real").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(fs::is_symlink(scratch / "link"), c.through_link);
    const auto entries = std::distance(fs::directory_iterator(scratch.path()), {});
    EXPECT_EQ(entries, 1 + (c.through_link ? 1 : 0) + (c.ending == Ending::folder_in_the_way));
}

INSTANTIATE_TEST_SUITE_P(Cases, Replace,
                         testing::Values(ReplaceCase{"Committed", Ending::commit, false, "new"},
                                         ReplaceCase{"ThroughALink", Ending::commit, true, "new"},
                                         ReplaceCase{"Abandoned", Ending::abandon, false, "old"},
                                         ReplaceCase{"FolderInTheWay", Ending::folder_in_the_way,
                                                     false, "old"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WriteAll, PassesMoreThanAPipeHoldsWhole) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const std::string sent(1 << 20, 'x');
    std::string received;
    std::thread reader([&] {
        char chunk[4096];
        for (ssize_t got; (got = ::read(ends[0], chunk, sizeof chunk)) > 0;) {
            received.append(chunk, static_cast<std::size_t>(got));
        }
    });
    EXPECT_TRUE(write_all(ends[1], std::string_view(sent)));
    ::close(ends[1]);
    reader.join();
    ::close(ends[0]);
    EXPECT_EQ(received.size(), sent.size());
}

// HOME first, the password database without it; an XDG variable counts only
// when it holds an absolute path.
TEST(HomeFolder, FollowsHomeThenThePasswordDatabase) {
    const std::string saved_home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    ::setenv("HOME", "/somewhere/home", 1);
    ::setenv("QUILLON_TEST_XDG", "relative/state", 1);
    EXPECT_EQ(xdg_folder("QUILLON_TEST_XDG", ".local/state"), "/somewhere/home/.local/state");
    ::setenv("QUILLON_TEST_XDG", "/abs/state", 1);
    EXPECT_EQ(xdg_folder("QUILLON_TEST_XDG", ".local/state"), "/abs/state");
    ::setenv("HOME", "", 1);
    EXPECT_FALSE(home_folder().empty());  // from the password database
    EXPECT_NE(home_folder(), "/somewhere/home");
    ::setenv("HOME", saved_home.c_str(), 1);
    ::unsetenv("QUILLON_TEST_XDG");
}

}  // namespace
}  // namespace quillon::posix
