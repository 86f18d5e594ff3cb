/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// A real 64 KB tmpfs mounted on a scratch folder, for full-disk cases. Needs
// the right to mount (root); `mounted()` is false elsewhere, and tests skip.
#pragma once

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "posix/fd.h"
#include "quillon_test/scratch_folder.h"

class SmallTmpfs {
public:
    SmallTmpfs() {
        mounted_ = ::mount("tmpfs", scratch_.path().c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallTmpfs() {
        if (mounted_) {
            ::umount2(scratch_.path().c_str(), MNT_DETACH);
        }
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool mounted() const { return mounted_; }
    std::filesystem::path operator/(const std::string& name) const { return scratch_ / name; }

    // A file of `size` bytes that holds no blocks yet (all of it a hole).
    void put_sparse(const std::string& name, off_t size) const {
        const quillon::posix::Fd file(create(name));
        if (file.valid()) {
            static_cast<void>(::ftruncate(file.get(), size));
        }
    }

    // Writes zero bytes into a new file until the file system is full.
    void fill(const std::string& name) const {
        const quillon::posix::Fd file(create(name));
        const std::vector<char> block(4096, 0);
        while (file.valid() && ::write(file.get(), block.data(), block.size()) > 0) {
        }
    }

private:
    int create(const std::string& name) const {
        return ::open((scratch_ / name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }

    quillon_test::ScratchFolder scratch_;
    bool mounted_ = false;
};
