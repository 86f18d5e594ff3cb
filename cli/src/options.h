// The command line: global settings, the command's name, its arguments and flags.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qcli {

enum class ImageFormat { raw, ihex };

// Flags that only some commands take; a command names the ones it accepts.
enum OptionFlag : unsigned {
    kOptNoVerify = 1u << 0,
    kOptNoReset = 1u << 1,
    kOptFormat = 1u << 2,
    kOptFill = 1u << 3,
    kOptHold = 1u << 4,
    kOptAll = 1u << 5,
    kOptBoard = 1u << 6,
};

// An option that only one command knows, declared in that command's table entry.
struct ExtraOption {
    std::string_view name;  // "--cycles"
    bool takes_value;
};
// The extra options of the named command (none for an unknown name), in
// storage that outlives the parse.
using ExtraOptionLookup = std::function<std::span<const ExtraOption>(std::string_view command)>;

struct Options {
    std::optional<std::uint8_t> port_index;  // 0, 1, 2 as the library numbers the ports
    std::optional<std::uint8_t> delay;       // 1..255
    bool quiet = false;
    bool help = false;
    bool version = false;

    bool no_verify = false;
    bool no_reset = false;
    bool board = false;
    bool all = false;
    std::optional<ImageFormat> format;
    std::uint8_t fill = 0xFF;
    double hold_seconds = 1.0;
    unsigned given = 0;  // OptionFlag bits seen on the command line
    // The command's own options by name; flags map to "".
    std::map<std::string, std::string, std::less<>> extra;

    std::string command;
    std::vector<std::string> args;
};

struct ParseResult {
    Options options;
    std::string error;  // empty when the command line is well formed

    bool ok() const { return error.empty(); }
};

// Options may stand before or after the command; "--" ends them. Values go as
// "--port 1" or "--port=1". A command's own options count once the command
// has been named.
ParseResult parse_options(const std::vector<std::string>& argv,
                          const ExtraOptionLookup& lookup = {});

// "0", "1", "2" or a base address "0x278", "0x378", "0x3BC" (any case).
std::optional<std::uint8_t> parse_port(std::string_view text);
// A decimal or 0x-prefixed number within [low, high].
std::optional<unsigned long> parse_number(std::string_view text, unsigned long low,
                                          unsigned long high);

}  // namespace qcli
