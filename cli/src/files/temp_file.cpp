// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// A private temporary file for the library, gone with its owner, falling back to /tmp.
#include "temp_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "posix/write_all.h"

namespace qcli {

TempFile::TempFile() {
    const char* dir = std::getenv("TMPDIR");
    if (dir != nullptr && dir[0] != '\0') {
        folders_.emplace_back(dir);
    }
    // TMPDIR may name a folder that does not exist or is full: /tmp then serves.
    folders_.emplace_back("/tmp");
    create();
}

TempFile::~TempFile() {
    discard();
}

void TempFile::discard() {
    if (!named_.empty()) {
        ::unlink(named_.c_str());
        named_.clear();
    }
    fd_.close();
    path_.clear();
}

bool TempFile::create() {
    discard();
    for (; next_ < folders_.size(); ++next_) {
        std::string name = folders_[next_] + "/quillon-cli-XXXXXX";
        const int fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) {
            if (error_.empty()) {
                error_ = "cannot create a temporary file in " + folders_[next_] + ": " +
                         std::strerror(errno);
            }
            continue;
        }
        ++next_;
        fd_ = quillon::posix::Fd(fd);
        const std::string by_descriptor = "/proc/self/fd/" + std::to_string(fd);
        if (::access(by_descriptor.c_str(), R_OK) == 0) {
            ::unlink(name.c_str());
            path_ = by_descriptor;
        } else {
            path_ = named_ = name;
        }
        error_.clear();
        return true;
    }
    return false;
}

bool TempFile::fill(std::span<const std::uint8_t> bytes, std::size_t size) {
    const int fd = fd_.get();
    return ::ftruncate(fd, 0) == 0 && ::lseek(fd, 0, SEEK_SET) == 0 &&
           quillon::posix::write_all(fd, bytes) &&
           (size <= bytes.size() || ::ftruncate(fd, static_cast<off_t>(size)) == 0);
}

bool TempFile::write(std::span<const std::uint8_t> bytes, std::size_t size) {
    while (ok()) {
        if (fill(bytes, size)) {
            return true;
        }
        const std::string failure =
            "cannot write a temporary file in " + folders_[next_ - 1] + ": " + std::strerror(errno);
        if (!create()) {
            error_ = failure;
            return false;
        }
    }
    return false;
}

}  // namespace qcli
