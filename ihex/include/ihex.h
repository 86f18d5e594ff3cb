/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: LGPL-2.1-or-later */
// Intel HEX: memory images as text records, for image files and for the 8051
// simulator's loads and dumps. Reads record types 00 (data), 01 (end), 02
// (segment base) and 04 (linear base); writes data records and the end record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ihex {

// What is wrong and on which line (1-based); empty when nothing is.
struct Error {
    std::string what;
    std::size_t line = 0;

    explicit operator bool() const { return !what.empty(); }
};

struct ReadRules {
    // Every data address must lie below this.
    std::uint32_t limit = 0x8000;
    // Lines that don't start with ':' are passed over (a console's echo and
    // prompts around a dump) instead of being an error.
    bool skip_other_lines = false;
    // An end record before any data byte is an error.
    bool need_data = false;
    // A text that ends without an end record is an error.
    bool need_end = true;
};

// Hands each data record's bytes to store, in the order of the text, until
// the end record; the text after it is not looked at. LF and CRLF line ends,
// blank lines and blanks around a record are accepted. A text that store
// returns ends the reading as the error of that record's line. On an error,
// store may have seen records before it.
using Store = std::function<std::string(std::uint32_t address, std::span<const std::uint8_t> data)>;
Error read_records(std::string_view text, const ReadRules& rules, const Store& store);

struct Image {
    // Contiguous from address 0 up to the highest byte given; gaps hold the fill byte.
    std::vector<std::uint8_t> bytes;
    Error error;  // bytes is empty when set

    bool ok() const { return !error; }
};

// An image file: every line is a record, and it holds at least one data byte.
// Records may overlap where they agree; an address given two different bytes
// is an error ("address 0002 given twice").
Image read_image(std::string_view text, std::uint8_t fill = 0xFF, std::uint32_t limit = 0x8000);

// The data records into image (record address = index); returns how many data
// bytes they carried. Lines without ':' are passed over, and the end record
// may be missing (a console may print its prompt on the end record's line).
struct Stored {
    std::size_t bytes = 0;
    Error error;

    bool ok() const { return !error; }
};
Stored read_into(std::string_view text, std::span<std::uint8_t> image);

// Data records of bytes_per_record (1 to 255) from address 0, with a linear
// base record at each 64 KB boundary past the first, then ":00000001FF".
// Every byte is written, fill-like runs included, so reading it back gives
// the same image size.
std::string write_image(std::span<const std::uint8_t> bytes, std::size_t bytes_per_record = 16);

}  // namespace ihex
