// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// Replacing a file through a synced file beside it and a rename.
#include "posix/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quillon::posix {

namespace {

// The old file's permissions, or what creating the file would give it.
mode_t mode_for(const std::filesystem::path& target) {
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) {
        return info.st_mode & 07777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

Replacement::Replacement(const std::filesystem::path& target) {
    std::error_code error;
    target_ = std::filesystem::weakly_canonical(target, error);
    if (error) {
        target_ = target;
    }
    folder_ = target_.has_parent_path() ? target_.parent_path() : std::filesystem::path(".");
    path_ = (folder_ / ("." + target_.filename().string() + ".XXXXXX")).string();
    fd_ = Fd(::mkostemp(path_.data(), O_CLOEXEC));
    if (!fd_.valid()) {
        error_ = errno;
        path_.clear();
    }
}

Replacement::~Replacement() {
    if (!path_.empty() && !committed_) {
        ::unlink(path_.c_str());
    }
}

Replacement::Failure Replacement::commit() {
    if (!fd_.valid()) {
        return Failure::write;
    }
    if (::fchmod(fd_.get(), mode_for(target_)) != 0 || ::fsync(fd_.get()) != 0 || !fd_.close()) {
        error_ = errno;
        return Failure::write;
    }
    if (::rename(path_.c_str(), target_.c_str()) != 0) {
        error_ = errno;
        return Failure::rename;
    }
    committed_ = true;
    // The rename itself reaches the disk with the folder.
    const Fd dir(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) {
        ::fsync(dir.get());
    }
    return Failure::none;
}

}  // namespace quillon::posix
