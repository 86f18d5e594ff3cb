#include "options.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>

namespace qcli {
namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

std::optional<double> parse_seconds(std::string_view text) {
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() ||
        !std::isfinite(value) || value < 0 || value > 3600) {
        return std::nullopt;
    }
    return value;
}

const ExtraOption* find_extra(const ExtraOptionLookup& lookup, const std::string& command,
                              std::string_view name) {
    if (!lookup || command.empty()) {
        return nullptr;
    }
    for (const ExtraOption& option : lookup(command)) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

}  // namespace

std::optional<unsigned long> parse_number(std::string_view text, unsigned long low,
                                          unsigned long high) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < low ||
        value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint8_t> parse_port(std::string_view text) {
    static constexpr std::array<std::string_view, 3> addresses{"0x278", "0x378", "0x3bc"};
    const std::string key = lower(text);
    for (std::uint8_t i = 0; i < addresses.size(); ++i) {
        if (key == addresses[i] || key == std::string(1, static_cast<char>('0' + i))) {
            return i;
        }
    }
    return std::nullopt;
}

ParseResult parse_options(const std::vector<std::string>& argv, const ExtraOptionLookup& lookup) {
    ParseResult result;
    Options& o = result.options;
    bool options_end = false;

    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
        if (options_end || arg.size() < 2 || arg[0] != '-') {
            if (o.command.empty()) {
                o.command = arg;
            } else {
                o.args.push_back(arg);
            }
            continue;
        }
        if (arg == "--") {
            options_end = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inline_value;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            name = arg.substr(0, eq);
            inline_value = arg.substr(eq + 1);
        }
        // Fetches the option's value from "--name=value" or the next argument.
        auto value = [&]() -> std::optional<std::string> {
            if (inline_value) {
                return inline_value;
            }
            if (i + 1 < argv.size()) {
                return argv[++i];
            }
            return std::nullopt;
        };
        auto flag = [&](bool& target, unsigned bit) {
            if (inline_value) {
                result.error = "option '" + name + "' takes no value";
            }
            target = true;
            o.given |= bit;
        };

        if (name == "-h" || name == "--help") {
            flag(o.help, 0);
        } else if (name == "-V" || name == "--version") {
            flag(o.version, 0);
        } else if (name == "-q" || name == "--quiet") {
            flag(o.quiet, 0);
        } else if (name == "--no-verify") {
            flag(o.no_verify, kOptNoVerify);
        } else if (name == "--no-reset") {
            flag(o.no_reset, kOptNoReset);
        } else if (name == "--board") {
            flag(o.board, kOptBoard);
        } else if (name == "--all") {
            flag(o.all, kOptAll);
        } else if (name == "--port") {
            const auto v = value();
            o.port_index = v ? parse_port(*v) : std::nullopt;
            if (!o.port_index) {
                result.error = "--port takes 0, 1, 2, 0x278, 0x378 or 0x3BC";
            }
        } else if (name == "--delay") {
            const auto v = value();
            const auto d = v ? parse_number(*v, 1, 255) : std::nullopt;
            if (!d) {
                result.error = "--delay takes a number from 1 to 255";
            } else {
                o.delay = static_cast<std::uint8_t>(*d);
            }
        } else if (name == "--format") {
            const auto v = value();
            o.given |= kOptFormat;
            if (v && *v == "raw") {
                o.format = ImageFormat::raw;
            } else if (v && *v == "ihex") {
                o.format = ImageFormat::ihex;
            } else {
                result.error = "--format takes raw or ihex";
            }
        } else if (name == "--fill") {
            const auto v = value();
            const auto f = v ? parse_number(*v, 0, 255) : std::nullopt;
            o.given |= kOptFill;
            if (!f) {
                result.error = "--fill takes a byte value from 0 to 255 (or 0x00 to 0xFF)";
            } else {
                o.fill = static_cast<std::uint8_t>(*f);
            }
        } else if (name == "--hold") {
            const auto v = value();
            const auto s = v ? parse_seconds(*v) : std::nullopt;
            o.given |= kOptHold;
            if (!s) {
                result.error = "--hold takes a number of seconds from 0 to 3600";
            } else {
                o.hold_seconds = *s;
            }
        } else if (const ExtraOption* extra = find_extra(lookup, o.command, name)) {
            if (!extra->takes_value) {
                o.extra.try_emplace(name);
                if (inline_value) {
                    result.error = "option '" + name + "' takes no value";
                }
            } else if (const auto v = value()) {
                o.extra[name] = *v;
            } else {
                result.error = "option '" + name + "' needs a value";
            }
        } else {
            result.error = "unknown option '" + arg + "'";
        }
        if (!result.error.empty()) {
            return result;
        }
    }
    return result;
}

}  // namespace qcli
