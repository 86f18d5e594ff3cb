/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// The test firmware images built by tests/firmware, and waiting for what the
// running firmware prints.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include <ihex.h>

inline std::string read_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A 32 KB board image holding the firmware of `ihx`, 0x00 elsewhere.
inline bool load_firmware(const std::string& ihx, std::array<std::uint8_t, 0x8000>& ram) {
    const std::string text = read_text(ihx);
    const ihex::Stored stored = ihex::read_into(text, ram);
    return stored.ok() && stored.bytes > 0;
}

// Waits until `path` holds `text`; the simulated 8051 runs in real time.
inline bool wait_for_text(const std::filesystem::path& path, const std::string& text,
                          std::chrono::seconds patience = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (std::chrono::steady_clock::now() < deadline) {
        if (read_text(path).find(text) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}
