// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// read_file and write_file on files, FIFOs, folders and full devices.
#include "image_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "last_error.h"
#include "library_test.h"
#include "quillon_test/bytes.h"
#include "quillon_test/scratch_folder.h"
#include "vandrel.h"

namespace vandrel_test {
namespace {

namespace fs = std::filesystem;

class ImageFileTest : public LibraryTest {
protected:
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    std::string make_file(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const auto p = path(name);
        quillon_test::write_bytes(p, bytes);
        return p;
    }

    static std::vector<std::uint8_t> contents(const std::string& p) {
        return quillon_test::read_bytes(p);
    }

    // A small earlier image that refused loads must keep.
    void load_previous_image() {
        ASSERT_EQ(read_file(make_file("previous.bin", {0x10, 0x20, 0x30}).c_str()), 3);
        previous_chsum_ = get_chsum();
    }
    void expect_previous_image() const {
        EXPECT_EQ(get_bufsize(), 3);
        EXPECT_EQ(get_chsum(), previous_chsum_);
        EXPECT_EQ(getBuffer()[0], 0x10);
        EXPECT_EQ(getBuffer()[2], 0x30);
        EXPECT_EQ(getBuffer()[3], 0x00);
    }

    quillon_test::ScratchFolder scratch_{"vandrel-files"};
    const fs::path& dir_ = scratch_.path();
    std::uint16_t previous_chsum_ = 0;
};

std::vector<std::uint8_t> pattern_bytes(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
    }
    return bytes;
}

TEST_F(ImageFileTest, FullSizeFileLoadsWholly) {
    const auto bytes = pattern_bytes(32768);
    EXPECT_EQ(read_file(make_file("full.rom", bytes).c_str()), 32768);
    EXPECT_EQ(get_bufsize(), 32768);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), getBuffer()));
    EXPECT_STREQ(get_LastError(), "");
}

TEST_F(ImageFileTest, OversizeFileIsRefusedAndKeepsTheImage) {
    load_previous_image();
    EXPECT_EQ(read_file(make_file("big.rom", pattern_bytes(32769)).c_str()), 0);
    EXPECT_STREQ(get_LastError(), "file (32769 Bytes) > 32KB");
    expect_previous_image();

    EXPECT_EQ(read_file(make_file("bigger.rom", pattern_bytes(100000)).c_str()), 0);
    EXPECT_STREQ(get_LastError(), "file (100000 Bytes) > 32KB");
    expect_previous_image();
}

TEST_F(ImageFileTest, EmptyFileEmptiesTheBufferButKeepsItsBytes) {
    load_previous_image();
    EXPECT_EQ(read_file(make_file("empty.bin", {}).c_str()), 0);
    EXPECT_STREQ(get_LastError(), "file has no content");
    EXPECT_EQ(get_bufsize(), 0);
    EXPECT_EQ(getBuffer()[0], 0x10);
    EXPECT_EQ(get_chsum(), 0);
    EXPECT_STREQ(get_LastError(), "empty buffer");
}

TEST_F(ImageFileTest, NamesThatCannotBeOpenedKeepTheImage) {
    load_previous_image();
    EXPECT_EQ(read_file(""), 0);
    EXPECT_STREQ(get_LastError(), "invalid file-name");
    EXPECT_EQ(read_file(nullptr), 0);
    EXPECT_STREQ(get_LastError(), "invalid file-name");
    expect_previous_image();

    const auto missing = path("missing.bin");
    EXPECT_EQ(read_file(missing.c_str()), 0);
    EXPECT_EQ(std::string(get_LastError()), "error: can't open " + missing);
    expect_previous_image();

    // A directory opens as a stream on Linux but is no image file.
    EXPECT_EQ(read_file(dir_.c_str()), 0);
    EXPECT_EQ(std::string(get_LastError()), "error: can't open " + dir_.string());
    expect_previous_image();
}

TEST_F(ImageFileTest, LongNamesAreCutToFitTheMessageField) {
    for (std::size_t length : {381u, 382u, 383u, 1000u, 100000u}) {
        SCOPED_TRACE(length);
        const std::string name = "/nonexistent/" + std::string(length, 'n');
        EXPECT_EQ(read_file(name.c_str()), 0);
        const std::string full = "error: can't open " + name;
        const std::string text = get_LastError();
        EXPECT_EQ(text.size(), std::min<std::size_t>(full.size(), 399));
        EXPECT_EQ(full.compare(0, text.size(), text), 0);
        EXPECT_EQ(vandrel::state().last_error[399], '\0');
    }
}

TEST_F(ImageFileTest, EndlessStreamIsRefusedWithoutOverrun) {
    load_previous_image();
    EXPECT_EQ(read_file("/dev/zero"), 0);
    EXPECT_STREQ(get_LastError(), "file (32769 Bytes) > 32KB");
    expect_previous_image();
}

// A pipe has no length to ask: what it yields decides.
class FifoTest : public ImageFileTest {
protected:
    std::uint16_t load_through_fifo(std::size_t count) {
        const auto fifo = path("pipe");
        EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        std::signal(SIGPIPE, SIG_IGN);  // the writer may outlive the reader
        std::thread writer([fifo, count] {
            std::FILE* out = std::fopen(fifo.c_str(), "wb");
            const auto bytes = pattern_bytes(count);
            std::fwrite(bytes.data(), 1, bytes.size(), out);
            std::fclose(out);
        });
        const auto result = read_file(fifo.c_str());
        writer.join();
        return result;
    }
};

TEST_F(FifoTest, ShortStreamOfUnknownLengthLoads) {
    EXPECT_EQ(load_through_fifo(100), 100);
    const auto bytes = pattern_bytes(100);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), getBuffer()));
}

TEST_F(FifoTest, LongStreamOfUnknownLengthIsRefused) {
    load_previous_image();
    EXPECT_EQ(load_through_fifo(40000), 0);
    EXPECT_STREQ(get_LastError(), "file (32769 Bytes) > 32KB");
    expect_previous_image();
}

TEST_F(ImageFileTest, ReadErrorIsAFailureAndKeepsTheImage) {
    load_previous_image();
    // Offset 0 of a process's memory is never mapped: the first read fails.
    EXPECT_EQ(read_file("/proc/self/mem"), 0);
    EXPECT_STREQ(get_LastError(), "error: can't read /proc/self/mem");
    expect_previous_image();
}

// A stream that yields `good` bytes and then fails or runs on.
struct ScriptedStream {
    std::size_t good;
    bool fail_after;
    std::size_t served = 0;
};

std::FILE* open_scripted(ScriptedStream& script) {
    cookie_io_functions_t functions{};
    functions.read = [](void* cookie, char* buf, std::size_t size) -> ssize_t {
        auto& s = *static_cast<ScriptedStream*>(cookie);
        if (s.served >= s.good && s.fail_after) {
            errno = EIO;
            return -1;
        }
        const std::size_t n = s.fail_after ? std::min(size, s.good - s.served) : size;
        std::memset(buf, 0xAB, n);
        s.served += n;
        return static_cast<ssize_t>(n);
    };
    return ::fopencookie(&script, "rb", functions);
}

TEST(ReadStream, ErrorInTheMiddleIsReportedWithTheCountSoFar) {
    ScriptedStream script{5000, true};
    std::FILE* stream = open_scripted(script);
    ASSERT_NE(stream, nullptr);
    std::vector<std::uint8_t> dest(32768);
    const auto result = vandrel::read_stream(stream, dest);
    std::fclose(stream);
    EXPECT_EQ(result.outcome, vandrel::StreamRead::read_error);
    EXPECT_EQ(result.count, 5000u);
}

TEST(ReadStream, NeverStoresPastTheDestination) {
    ScriptedStream script{0, false};
    std::FILE* stream = open_scripted(script);
    ASSERT_NE(stream, nullptr);
    std::vector<std::uint8_t> area(64, 0x00);
    const auto result = vandrel::read_stream(stream, std::span(area).first(16));
    std::fclose(stream);
    EXPECT_EQ(result.outcome, vandrel::StreamRead::too_long);
    EXPECT_EQ(result.count, 17u);
    EXPECT_EQ(area[15], 0xAB);
    EXPECT_EQ(area[16], 0x00);
}

TEST_F(ImageFileTest, SaveWritesExactlyTheImageOverALongerFile) {
    const auto target = make_file("image.bin", pattern_bytes(5000));
    const std::vector<std::uint8_t> image = {0x00, 0x80, 0xFF, 0x1A, 0x0D, 0x0A, 0x7F};
    put_image(image);
    EXPECT_EQ(write_file(target.c_str()), 7);
    EXPECT_EQ(contents(target), image);

    const auto chsum = get_chsum();
    vandrel::reset_state();
    EXPECT_EQ(read_file(target.c_str()), 7);
    EXPECT_EQ(get_chsum(), chsum);
}

TEST_F(ImageFileTest, EveryByteValueSurvivesLoadAndSave) {
    std::vector<std::uint8_t> all(256);
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i] = static_cast<std::uint8_t>(255 - i);
    }
    EXPECT_EQ(read_file(make_file("all.bin", all).c_str()), 256);
    EXPECT_TRUE(std::equal(all.begin(), all.end(), getBuffer()));
    const auto copy = path("copy.bin");
    EXPECT_EQ(write_file(copy.c_str()), 256);
    EXPECT_EQ(contents(copy), all);
}

TEST_F(ImageFileTest, SaveOfAnEmptyBufferTouchesNoFile) {
    const auto existing = make_file("keep.bin", {1, 2, 3});
    EXPECT_EQ(write_file(existing.c_str()), 0);
    EXPECT_STREQ(get_LastError(), "empty buffer --> break save!");
    EXPECT_EQ(contents(existing), (std::vector<std::uint8_t>{1, 2, 3}));

    const auto absent = path("absent.bin");
    EXPECT_EQ(write_file(absent.c_str()), 0);
    EXPECT_FALSE(fs::exists(absent));
}

TEST_F(ImageFileTest, SaveThatCannotCreateTheFileFails) {
    put_image({1, 2, 3});
    for (const std::string& name : {std::string(), path("no/such/dir.bin"), dir_.string()}) {
        SCOPED_TRACE(name);
        vandrel::set_last_error("earlier");
        EXPECT_EQ(write_file(name.c_str()), 0);
        EXPECT_STREQ(get_LastError(), "file-error (create) : can not save!");
    }
    EXPECT_EQ(write_file(nullptr), 0);
    EXPECT_STREQ(get_LastError(), "file-error (create) : can not save!");
    EXPECT_EQ(get_bufsize(), 3);
}

TEST_F(ImageFileTest, SaveOnAFullDeviceFailsEvenWhenOnlyTheCloseNotices) {
    // Small enough to stay in the stream's buffer until it is closed.
    put_image({1, 2, 3});
    EXPECT_EQ(write_file("/dev/full"), 0);
    EXPECT_STREQ(get_LastError(), "data-error by saving!");

    // Large enough to fail on a byte's write.
    vandrel::set_last_error("");
    put_image(pattern_bytes(32768));
    EXPECT_EQ(write_file("/dev/full"), 0);
    EXPECT_STREQ(get_LastError(), "data-error by saving!");
    EXPECT_EQ(get_bufsize(), 32768);
}

TEST_F(ImageFileTest, SuccessKeepsTheLastErrorText) {
    const auto missing = path("missing.rom");
    ASSERT_EQ(read_file(missing.c_str()), 0);
    const std::string failure = get_LastError();

    EXPECT_EQ(read_file(make_file("ok.rom", {9, 8, 7}).c_str()), 3);
    EXPECT_EQ(write_file(path("out.rom").c_str()), 3);
    EXPECT_NE(get_chsum(), 0);
    EXPECT_EQ(write_ram(), 3);
    EXPECT_EQ(read_ram(2), 2);
    EXPECT_EQ(std::string(get_LastError()), failure);
}

}  // namespace
}  // namespace vandrel_test
