/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// A fresh folder under the system's temporary folder for one test or one run,
// removed with its contents at the end.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quillon_test {

class ScratchFolder {
public:
    // Throws std::system_error when the folder can't be made: a test must never
    // go on writing into a folder that isn't its own.
    explicit ScratchFolder(std::string_view prefix = "quillon-test");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    // Writes a file, creating its folders.
    void put(const std::string& name, const std::string& content) const;

private:
    std::filesystem::path path_;
};

}  // namespace quillon_test
