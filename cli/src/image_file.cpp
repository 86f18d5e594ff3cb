#include "image_file.h"

#include <ihex.h>
#include <vandrel.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "temp_file.h"

namespace qcli {
namespace {

// Far more than any HEX file of a 32 KB image needs, small enough to read whole.
constexpr std::size_t kMaxHexFileSize = 16u << 20;
constexpr std::size_t kSniffSize = 4096;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string system_error(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// Reads at most limit bytes; false with errno set when the file can't be read.
bool read_bytes(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& bytes,
                bool& truncated) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return false;
    }
    bytes.resize(limit);
    const std::size_t n = std::fread(bytes.data(), 1, limit, file.get());
    if (std::ferror(file.get()) != 0) {
        return false;
    }
    bytes.resize(n);
    truncated = n == limit && std::fgetc(file.get()) != EOF;
    return true;
}

int load_ihex(Context& ctx, const std::string& path) {
    std::vector<std::uint8_t> text;
    bool too_big = false;
    if (!read_bytes(path, kMaxHexFileSize, text, too_big)) {
        return ctx.fail(system_error("cannot read", path));
    }
    if (too_big) {
        return ctx.fail(path + ": too large for the HEX image of a 32 KB board");
    }
    const ihex::Image hex =
        ihex::read_image(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()),
                         ctx.options.fill);
    if (!hex.ok()) {
        return ctx.fail(path + ":" + std::to_string(hex.error.line) + ": " + hex.error.what);
    }
    TempFile raw;
    if (!raw.ok() || !raw.write(hex.bytes)) {
        return ctx.fail(raw.error());
    }
    if (read_file(raw.path().c_str()) == 0) {
        return ctx.library_failure();
    }
    return kExitOk;
}

}  // namespace

bool has_ihex_extension(std::string_view path) {
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) {
        return false;
    }
    std::string ext(path.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == "hex" || ext == "ihx";
}

bool looks_like_ihex(std::span<const std::uint8_t> head) {
    const auto first = std::find_if(head.begin(), head.end(), [](std::uint8_t c) {
        return c != ' ' && c != '\t' && c != '\r' && c != '\n';
    });
    if (first == head.end() || *first != ':') {
        return false;
    }
    return std::all_of(head.begin(), head.end(), [](std::uint8_t c) {
        return std::isxdigit(c) != 0 || c == ':' || c == '\r' || c == '\n' || c == ' ' || c == '\t';
    });
}

ImageFormat input_format(const std::string& path, std::optional<ImageFormat> forced) {
    if (forced) {
        return *forced;
    }
    if (has_ihex_extension(path)) {
        return ImageFormat::ihex;
    }
    std::vector<std::uint8_t> head;
    bool more = false;
    if (read_bytes(path, kSniffSize, head, more) && looks_like_ihex(head)) {
        return ImageFormat::ihex;
    }
    return ImageFormat::raw;
}

ImageFormat output_format(std::string_view path, std::optional<ImageFormat> forced) {
    if (forced) {
        return *forced;
    }
    return has_ihex_extension(path) ? ImageFormat::ihex : ImageFormat::raw;
}

int load_image(Context& ctx, const std::string& path) {
    if (input_format(path, ctx.options.format) == ImageFormat::ihex) {
        return load_ihex(ctx, path);
    }
    // Raw files go to the library as they are, so its own messages report them.
    if (read_file(path.c_str()) == 0) {
        return ctx.library_failure();
    }
    return kExitOk;
}

int save_image(Context& ctx, const std::string& path) {
    if (output_format(path, ctx.options.format) == ImageFormat::raw) {
        if (write_file(path.c_str()) == 0) {
            return ctx.library_failure();
        }
        return kExitOk;
    }
    const std::string text =
        ihex::write_image(std::span<const std::uint8_t>(getBuffer(), get_bufsize()));
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        return ctx.fail(system_error("cannot create", path));
    }
    if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() ||
        std::fflush(file.get()) != 0) {
        return ctx.fail(system_error("cannot write", path));
    }
    if (std::fclose(file.release()) != 0) {
        return ctx.fail(system_error("cannot write", path));
    }
    return kExitOk;
}

}  // namespace qcli
