/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The simulated board's RAM: a file mapped shared into memory, so that it
// outlives the process and every process using the file sees one board.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "mapping_guard.h"

namespace dlportio {

// The simulated board's own size, like its line map in sim_board.cpp: not taken
// from vandrel_board.h, so that the tests check the library against a board
// modelled apart from it.
inline constexpr std::size_t kBoardRamSize = 0x8000;
using BoardRam = std::span<std::uint8_t, kBoardRamSize>;

class RamFile {
public:
    // Opens or creates the file (and its folder) with all its blocks reserved,
    // so that no store into the mapping can meet a full disk; a new file is all
    // zero bytes. On failure returns nothing and says why in `error`.
    static std::unique_ptr<RamFile> open(const std::string& path, std::string& error);
    // Takes over a 32 KB shared mapping of `fd` and both are given back when destroyed.
    RamFile(std::uint8_t* mapping, int fd, std::string path);
    ~RamFile();
    RamFile(const RamFile&) = delete;
    RamFile& operator=(const RamFile&) = delete;

    BoardRam bytes() const { return BoardRam{base_, kBoardRamSize}; }

    // Tells once per event on standard error when another program cut the file
    // under the mapping since the last call; cheap when nothing happened.
    void report_faults();

private:
    std::uint8_t* base_;
    int fd_;
    std::string path_;
    MappingGuard guard_;
};

}  // namespace dlportio
