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

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The file's text: "" when it does not exist, nullopt (with the reason) when it
// exists but is not read.
struct Contents {
    std::optional<std::string> text;
    std::string refusal;
    mode_t mode = 0;
};

Contents read_contents(const std::filesystem::path& file) {
    // Non-blocking, so that opening a FIFO with no writer returns at once.
    const Descriptor fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
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
    return {std::move(text), {}, status.st_mode & 07777};
}

bool write_all(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t put = ::write(fd, text.data(), text.size());
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

// Writes the text beside the target and renames it over the target once all of
// it is on disk; the target keeps its permissions. Returns the error, or "".
std::string replace_file(const std::filesystem::path& target, std::string_view text,
                         std::optional<mode_t> mode) {
    std::string temp = target.string() + ".XXXXXX";
    const Descriptor fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        return std::strerror(errno);
    }
    if (!mode) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    const bool written =
        ::fchmod(fd.get(), *mode) == 0 && write_all(fd.get(), text) && ::fsync(fd.get()) == 0;
    const int error = errno;
    if (!written || ::rename(temp.c_str(), target.c_str()) != 0) {
        const int cause = written ? errno : error;
        ::unlink(temp.c_str());
        return std::strerror(cause);
    }
    return {};
}

}  // namespace

NoteSink set_note_sink(NoteSink sink) {
    const std::lock_guard lock(note_mutex);
    const NoteSink previous = note_sink;
    note_sink = sink != nullptr ? sink : &print_note;
    return previous;
}

int get_int(const std::filesystem::path& file, std::string_view section, std::string_view key,
            int default_value) {
    const Contents contents = read_contents(file);
    if (!contents.text) {
        note_once(file.string() + ": " + contents.refusal + "; using the default settings");
        return default_value;
    }
    const std::optional<std::string> value = find_value(*contents.text, section, key);
    return value ? leading_number(*value) : default_value;
}

bool write_string(const std::filesystem::path& file, std::string_view section, std::string_view key,
                  std::string_view value) {
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
    const bool existed = contents.mode != 0;
    if (existed && ::access(target.c_str(), W_OK) != 0) {
        note_once(file.string() + ": " + std::strerror(errno) + "; settings not saved");
        return false;
    }
    const std::string text = with_value(*contents.text, section, key, value);
    if (text == *contents.text && !contents.text->empty()) {
        return true;
    }
    std::filesystem::create_directories(target.parent_path(), error);
    const std::string failure =
        replace_file(target, text, existed ? std::optional(contents.mode) : std::nullopt);
    if (!failure.empty()) {
        note_once(file.string() + ": " + failure + "; settings not saved");
        return false;
    }
    return true;
}

}  // namespace quillon::profile
