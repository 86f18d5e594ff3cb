/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// A private temporary file that disappears with its owner, for handing bytes
// to the library, which takes images only by file name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "posix/fd.h"

namespace qcli {

class TempFile {
public:
    // Created empty in $TMPDIR, or in /tmp when that fails, mode 0600. Its
    // name is removed at once where /proc reaches the open file, so that
    // nothing is left behind however the program ends.
    TempFile();
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool ok() const { return fd_.valid(); }
    // The name that opens the file.
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

    // Replaces the file's content; a size above the bytes' count makes the
    // file that long, the rest a hole. A folder that can't take the bytes (a
    // full disk) gives way to the next one. False (with error()) when that fails.
    bool write(std::span<const std::uint8_t> bytes, std::size_t size = 0);

private:
    // Creates the file in folders_[next_] or a later one.
    bool create();
    bool fill(std::span<const std::uint8_t> bytes, std::size_t size);
    void discard();

    std::vector<std::string> folders_;
    std::size_t next_ = 0;
    quillon::posix::Fd fd_;
    std::string path_;
    std::string named_;  // the name still on the disk, where /proc is missing
    std::string error_;
};

}  // namespace qcli
