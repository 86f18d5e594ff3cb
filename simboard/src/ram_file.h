/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// The simulated board's RAM: a file, so that it outlives the process and every
// process using the file sees one board. The board works on a copy in memory
// and meets the file at its reset edges: it reads the file when the PC takes
// the board and writes back what it stored when the PC lets it go, and when
// the layer shuts down. No access ever touches a mapping another program can
// cut, so nothing can end the process with SIGBUS.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "posix/fd.h"

namespace sim {

// The simulated board's own size, like its line map in sim_board.cpp: not taken
// from vandrel_board.h, so that the tests check the library against a board
// modelled apart from it.
inline constexpr std::size_t kBoardRamSize = 0x8000;
using BoardRam = std::span<std::uint8_t, kBoardRamSize>;

class RamFile {
public:
    // Opens or creates the file (and its folder) with all its blocks reserved,
    // so that writing it back cannot meet a full disk, and reads it; a new file
    // is all zero bytes. On failure returns nothing and says why in `error`.
    static std::unique_ptr<RamFile> open(const std::string& path, std::string& error);
    RamFile(quillon::posix::Fd fd, std::string path);
    // Writes back what is not written yet.
    ~RamFile();
    RamFile(const RamFile&) = delete;
    RamFile& operator=(const RamFile&) = delete;

    // The copy the board works on.
    BoardRam bytes() { return BoardRam{image_}; }

    // The file's bytes into the copy, dropping what is not written back.
    void load();
    // Notes a byte of the copy as changed, to be written back.
    void changed(std::size_t address) {
        first_changed_ = std::min(first_changed_, address);
        end_changed_ = std::max(end_changed_, address + 1);
    }
    void changed_all() {
        first_changed_ = 0;
        end_changed_ = kBoardRamSize;
    }
    // Writes the changed bytes to the file.
    void save();

private:
    // Grows a file that another program cut back to full size, and says so
    // once per cut (or that there is no room for it).
    void grow_back();

    quillon::posix::Fd fd_;
    std::string path_;
    std::array<std::uint8_t, kBoardRamSize> image_{};
    std::size_t first_changed_ = kBoardRamSize;
    std::size_t end_changed_ = 0;
    bool no_room_told_ = false;
};

}  // namespace sim
