/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// Replacing a file so that a failure at any point leaves the old one as it
// was: the new content goes into a hidden file beside it, which is synced,
// given the old file's permissions and renamed over it; the rename is then
// synced with the folder. A link is followed, so the file it points to is the
// one replaced and the link stays a link.
#pragma once

#include <filesystem>
#include <string>

#include "posix/fd.h"

namespace quillon::posix {

class Replacement {
public:
    // Creates the new, empty file beside target; see ok().
    explicit Replacement(const std::filesystem::path& target);
    // Removes the new file unless commit() put it in place.
    ~Replacement();
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // False when the new file could not be created; error() says why.
    bool ok() const { return fd_.valid(); }
    // The errno of the step that failed.
    int error() const { return error_; }
    // The new file, to be written by descriptor or by name.
    int fd() const { return fd_.get(); }
    const std::string& path() const { return path_; }

    enum class Failure { none, write, rename };
    // Syncs the new file and renames it over the target: write when its
    // content could not be made to last, rename when it could not take the
    // target's place. Either way the target is untouched.
    Failure commit();

private:
    std::filesystem::path target_;
    std::filesystem::path folder_;
    std::string path_;
    Fd fd_;
    int error_ = 0;
    bool committed_ = false;
};

}  // namespace quillon::posix
