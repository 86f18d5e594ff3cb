// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Reading and writing the settings file, only a regular file of sane size.
#include "profile/profile_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "posix/fd.h"
#include "posix/replace_file.h"
#include "posix/write_all.h"
#include "profile/profile_text.h"

namespace quillon::profile {

namespace {

void print_note(std::string_view note) {
    std::fprintf(stderr, "%s: %.*s\n", program_invocation_short_name, static_cast<int>(note.size()),
                 note.data());
}

std::mutex note_mutex;
NoteSink note_sink = &print_note;

void note_once(const std::string& note) {
    static std::set<std::string> given;
    NoteSink sink = nullptr;
    {
        const std::lock_guard lock(note_mutex);
        if (!given.insert(note).second) {
            return;
        }
        sink = note_sink;
    }
    sink(note);
}

// The file's text: "" when it does not exist, nullopt (with the reason) when it
// exists but is not read.
struct Contents {
    std::optional<std::string> text;
    std::string refusal;
    bool exists = false;
};

Contents read_contents(const std::filesystem::path& file) {
    // Non-blocking, so that opening a FIFO with no writer returns at once.
    const posix::Fd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT) {
            return {std::string(), {}};
        }
        return {std::nullopt, std::strerror(errno)};
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        return {std::nullopt, std::strerror(errno)};
    }
    if (!S_ISREG(status.st_mode)) {
        return {std::nullopt, "not a regular file"};
    }
    const std::string too_big = "larger than " + std::to_string(max_file_size) + " bytes";
    if (static_cast<std::uintmax_t>(status.st_size) > max_file_size) {
        return {std::nullopt, too_big};
    }
    std::string text(static_cast<std::size_t>(max_file_size) + 1, '\0');
    std::size_t filled = 0;
    // Up to one byte past the limit, so that a file growing meanwhile is caught.
    while (filled < text.size()) {
        const ssize_t got = ::read(fd.get(), text.data() + filled, text.size() - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return {std::nullopt, std::strerror(errno)};
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    if (filled > max_file_size) {
        return {std::nullopt, too_big};
    }
    text.resize(filled);
    return {std::move(text), {}, true};
}

}  // namespace

NoteSink set_note_sink(NoteSink sink) {
    const std::lock_guard lock(note_mutex);
    const NoteSink previous = note_sink;
    note_sink = sink != nullptr ? sink : &print_note;
    return previous;
}

std::optional<std::string> read_text(const std::filesystem::path& file) {
    Contents contents = read_contents(file);
    if (!contents.text) {
        note_once(file.string() + ": " + contents.refusal + "; using the default settings");
    }
    return std::move(contents.text);
}

int get_int(const std::filesystem::path& file, std::string_view section, std::string_view key,
            int default_value) {
    const std::optional<std::string> text = read_text(file);
    const std::optional<std::string> value = text ? find_value(*text, section, key) : std::nullopt;
    return value ? leading_number(*value) : default_value;
}

bool write_strings(const std::filesystem::path& file, std::string_view section,
                   std::initializer_list<Entry> entries) {
    if (file.empty()) {
        note_once("no home folder to keep the settings in; settings not saved");
        return false;
    }
    std::error_code error;
    // A link is followed, so that the file it points to is the one changed.
    std::filesystem::path target = std::filesystem::weakly_canonical(file, error);
    if (error) {
        target = file;
    }
    const Contents contents = read_contents(target);
    if (!contents.text) {
        note_once(file.string() + ": " + contents.refusal + "; settings not saved");
        return false;
    }
    if (contents.exists && ::access(target.c_str(), W_OK) != 0) {
        note_once(file.string() + ": " + std::strerror(errno) + "; settings not saved");
        return false;
    }
    std::string text = *contents.text;
    for (const Entry& entry : entries) {
        text = with_value(text, section, entry.key, entry.value);
    }
    if (text == *contents.text && !contents.text->empty()) {
        return true;
    }
    std::filesystem::create_directories(target.parent_path(), error);
    posix::Replacement replacement(target);
    int cause = replacement.error();
    if (replacement.ok()) {
        if (!posix::write_all(replacement.fd(), text)) {
            cause = errno;
        } else if (replacement.commit() == posix::Replacement::Failure::none) {
            return true;
        } else {
            cause = replacement.error();
        }
    }
    note_once(file.string() + ": " + std::strerror(cause) + "; settings not saved");
    return false;
}

}  // namespace quillon::profile
