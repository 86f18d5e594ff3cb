// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Every command of the built program against the simulated board.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <numeric>
#include <stdexcept>
#include <thread>

#include "cli_process.h"
#include "ihex.h"
#include "quillon_test/bytes.h"
#include "temp_file.h"

namespace qcli {
namespace {

using testing_support::describe;
using testing_support::ProcessResult;
using testing_support::Scratch;

using quillon_test::random_bytes;

// The program's checksum as it prints it, in hexadecimal.
std::string program_checksum(const std::vector<std::uint8_t>& bytes) {
    char text[8];
    std::snprintf(text, sizeof text, "%X", unsigned{quillon_test::image_checksum(bytes)});
    return text;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class Cli : public testing::Test {
protected:
    Scratch scratch;

    // quillon-cli as "$0" in a shell line, run in the scratch folder.
    ProcessResult in_shell(const std::string& line) {
        return scratch.run({}, {}, false, "/dev/null",
                           {"/bin/sh", "-c", "cd \"$HOME\" && " + line});
    }

    // RAM with a recognisable pattern, so a command that changes it shows.
    std::vector<std::uint8_t> patterned_ram() {
        auto ram = random_bytes(0x8000, 99);
        scratch.set_ram(ram);
        return ram;
    }
};

TEST_F(Cli, UploadsARawImageAndVerifiesIt) {
    auto ram = patterned_ram();
    const auto image = random_bytes(300, 1);  // crosses a high-address change at 0x100
    scratch.write("fw.bin", image);

    const auto r = scratch.run({"upload", scratch.path("fw.bin").string()});
    ASSERT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_EQ(r.out, "write 300 to RAM [" + program_checksum(image) + "]\nverified 300 bytes\n");
    EXPECT_EQ(r.err, "");  // no progress line: standard error is not a terminal
    std::copy(image.begin(), image.end(), ram.begin());
    EXPECT_EQ(scratch.ram(), ram);
}

TEST_F(Cli, UploadsAHexImageWithGapsFilled) {
    auto ram = patterned_ram();
    scratch.write_text("fw.ihx", ":0300000002000AF1\n:03000A00758107F6\n:00000001FF\n");

    const auto r = scratch.run({"upload", "-q", scratch.path("fw.ihx").string()});
    ASSERT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_EQ(r.out, "");
    const std::vector<std::uint8_t> image{0x02, 0x00, 0x0A, 0xFF, 0xFF, 0xFF, 0xFF,
                                          0xFF, 0xFF, 0xFF, 0x75, 0x81, 0x07};
    std::copy(image.begin(), image.end(), ram.begin());
    EXPECT_EQ(scratch.ram(), ram);  // nothing beyond the image's last byte changes

    // --fill, and HEX recognised by content under another name
    scratch.write_text("firmware", ":0300000002000AF1\n:03000A00758107F6\n:00000001FF\n");
    const auto filled = scratch.run({"upload", "--fill", "0", scratch.path("firmware").string()});
    ASSERT_EQ(filled.exit_code, 0) << describe(filled);
    EXPECT_EQ(scratch.ram()[3], 0x00);
    EXPECT_EQ(scratch.ram()[10], 0x75);
    // no temporary image stays behind
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path("tmp")));
}

TEST_F(Cli, RefusesBadHexWithFileAndLineAndLeavesTheBoardAlone) {
    const auto ram = patterned_ram();
    const std::vector<std::pair<std::string, std::string>> cases{
        {":0300000002000AF1\n:0300000002000AF2\n:00000001FF\n", "bad.hex:2: checksum"},
        {":0300000002000AF1\n", "bad.hex:2: file ends without an end record"},
        {":01800000FF80\n:00000001FF\n", "bad.hex:1: address 0x8000"},
        {":0300000002000AZ1\n:00000001FF\n", "bad.hex:1: non-hex character 'Z'"},
        {":0400000002000AF0\n:00000001FF\n", "bad.hex:1: record length 4"},
    };
    for (const auto& [text, message] : cases) {
        scratch.write_text("bad.hex", text);
        for (const char* command : {"upload", "verify", "checksum"}) {
            const auto r = scratch.run({command, scratch.path("bad.hex").string()});
            EXPECT_EQ(r.exit_code, 1) << command << ": " << describe(r);
            EXPECT_TRUE(contains(r.err, "quillon-cli: ")) << r.err;
            EXPECT_TRUE(contains(r.err, message)) << r.err;
        }
    }
    EXPECT_EQ(scratch.ram(), ram);
}

TEST_F(Cli, ReportsTheLibrarysRefusalsVerbatim) {
    const auto missing = scratch.path("missing.bin").string();
    const auto r = scratch.run({"upload", missing});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "quillon-cli: error: can't open " + missing + "\nquillon-cli: cannot read " +
                         missing + ": No such file or directory\n");
    const auto missing_hex = scratch.path("missing.ihx").string();
    EXPECT_EQ(scratch.run({"upload", missing_hex}).err,
              "quillon-cli: cannot read " + missing_hex + ": No such file or directory\n");

    scratch.write("empty.bin", {});
    const auto empty = scratch.run({"checksum", scratch.path("empty.bin").string()});
    EXPECT_EQ(empty.exit_code, 1);
    EXPECT_EQ(empty.err, "quillon-cli: file has no content\n");

    scratch.write("big.bin", std::vector<std::uint8_t>(32769, 1));
    const auto big = scratch.run({"upload", scratch.path("big.bin").string()});
    EXPECT_EQ(big.exit_code, 1);
    EXPECT_EQ(big.err,
              "quillon-cli: file (32769 Bytes) > 32KB\nquillon-cli: an image holds at most 32768 "
              "bytes\n");

    const auto nowhere = scratch.path("no-such-dir").string();
    const auto save = scratch.run({"download", "16", nowhere + "/out.bin"});
    EXPECT_EQ(save.exit_code, 1);
    EXPECT_EQ(save.err,
              "quillon-cli: file-error (create) : can not save!\nquillon-cli: cannot write " +
                  nowhere + "/out.bin: No such file or directory\n");
    const auto folder = scratch.dir().string();
    EXPECT_TRUE(
        contains(scratch.run({"download", "16", folder}).err,
                 "can not save!\nquillon-cli: cannot write " + folder + ": Is a directory"));
    // The reason is the failed write's own, not what happened to be in errno.
    EXPECT_EQ(scratch.run({"download", "16", "/dev/full"}).err,
              "quillon-cli: data-error by saving!\nquillon-cli: cannot write /dev/full: No space "
              "left on device\n");
    const auto save_hex = scratch.run({"download", "16", nowhere + "/out.ihx"});
    EXPECT_EQ(save_hex.exit_code, 1);
    EXPECT_EQ(save_hex.err,
              "quillon-cli: cannot create " + nowhere + "/out.ihx: No such file or directory\n");
}

TEST_F(Cli, DownloadsToRawAndHexThatReadBackEqual) {
    const auto ram = patterned_ram();
    const auto raw = scratch.run({"download", "1000", scratch.path("out.bin").string()});
    ASSERT_EQ(raw.exit_code, 0) << describe(raw);
    const std::vector<std::uint8_t> expected(ram.begin(), ram.begin() + 1000);
    EXPECT_EQ(scratch.read("out.bin"), expected);
    EXPECT_EQ(raw.out, "read 1000 from RAM [" + program_checksum(expected) + "]\n");

    const auto hex = scratch.run({"download", "0x8000", scratch.path("out.ihx").string()});
    ASSERT_EQ(hex.exit_code, 0) << describe(hex);
    const auto text = scratch.read("out.ihx");
    const auto parsed = ihex::read_image(std::string(text.begin(), text.end()));
    ASSERT_TRUE(parsed.ok()) << parsed.error.what;
    EXPECT_EQ(parsed.bytes, ram);

    // and the HEX file goes back up and verifies against the same RAM
    const auto verify = scratch.run({"verify", scratch.path("out.ihx").string()});
    EXPECT_EQ(verify.exit_code, 0) << describe(verify);
    EXPECT_EQ(scratch.ram(), ram);
}

TEST_F(Cli, VerifyListsTheFirstTenMismatchesAndExits3) {
    auto ram = patterned_ram();
    const std::vector<std::uint8_t> image(ram.begin(), ram.begin() + 512);
    scratch.write("fw.bin", image);
    ram[0x005] ^= 0xFF;
    ram[0x1F0] = static_cast<std::uint8_t>(ram[0x1F0] + 1);
    scratch.set_ram(ram);

    const auto r = scratch.run({"verify", scratch.path("fw.bin").string()});
    EXPECT_EQ(r.exit_code, 3) << describe(r);
    char line1[64];
    char line2[64];
    std::snprintf(line1, sizeof line1, "0005: expected %02X, read %02X\n", image[5], ram[5]);
    std::snprintf(line2, sizeof line2, "01F0: expected %02X, read %02X\n", image[0x1F0],
                  ram[0x1F0]);
    EXPECT_EQ(r.err.substr(0, 54), std::string(line1) + line2) << r.err;
    EXPECT_TRUE(contains(r.err, "verify failed: 2 of 512 bytes differ")) << r.err;

    // With a noisy data input most bytes read wrong: ten are listed, the rest counted.
    scratch.set_ram(std::vector<std::uint8_t>(image.begin(), image.end()));
    const auto noisy =
        scratch.run({"verify", scratch.path("fw.bin").string()}, {"DLPORTIO_SIM_FAULT=flip=5"});
    EXPECT_EQ(noisy.exit_code, 3) << describe(noisy);
    EXPECT_EQ(std::count(noisy.err.begin(), noisy.err.end(), '\n'), 12) << noisy.err;
    EXPECT_TRUE(contains(noisy.err, "... and ")) << noisy.err;
}

TEST_F(Cli, UploadToANoisyBoardFailsLoudlyUnlessVerifyIsOff) {
    patterned_ram();
    const auto image = random_bytes(64, 7);
    scratch.write("fw.bin", image);
    const auto r =
        scratch.run({"upload", scratch.path("fw.bin").string()}, {"DLPORTIO_SIM_FAULT=flip=3"});
    EXPECT_EQ(r.exit_code, 3) << describe(r);
    EXPECT_TRUE(contains(r.err, "expected")) << r.err;

    const auto unchecked = scratch.run({"upload", "--no-verify", scratch.path("fw.bin").string()},
                                       {"DLPORTIO_SIM_FAULT=flip=3"});
    EXPECT_EQ(unchecked.exit_code, 0) << describe(unchecked);
    EXPECT_EQ(unchecked.out, "write 64 to RAM [" + program_checksum(image) + "]\n");
}

TEST_F(Cli, ChecksumMatchesTheProgram) {
    // 0x0ABC as a sum is shown as A0BC; 0x00AB as AB.
    std::vector<std::uint8_t> bytes(10, 0xFF);  // 0x9F6
    bytes.push_back(0xC5);
    bytes.push_back(0x01);
    ASSERT_EQ(std::accumulate(bytes.begin(), bytes.end(), 0u), 0x0ABCu);
    scratch.write("a.rom", bytes);
    auto r = scratch.run({"checksum", scratch.path("a.rom").string()});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "loaded 12 bytes [A0BC]\n");

    scratch.write("b.bin", {0xAA, 0x01});
    r = scratch.run({"checksum", "-q", scratch.path("b.bin").string()});
    EXPECT_EQ(r.out, "loaded 2 bytes [AB]\n");

    const auto image = random_bytes(4096, 3);
    scratch.write_text("c.hex", [&] {
        const auto t = ihex::write_image(image);
        return std::string(t.begin(), t.end());
    }());
    r = scratch.run({"checksum", scratch.path("c.hex").string()});
    EXPECT_EQ(r.out, "loaded 4096 bytes [" + program_checksum(image) + "]\n");
}

TEST_F(Cli, DumpsFilesAndBoardInTheSameLayout) {
    std::vector<std::uint8_t> bytes{'v',  'a',  'n',  'd', 'r', 'e', 'l', 0x00, 0x01,
                                    0x7F, 0x80, 0xFF, ' ', '8', '0', '5', '1',  '!'};
    scratch.write("d.bin", bytes);
    scratch.set_ram(bytes);
    const std::string expected =
        "0000: 76 61 6E 64 72 65 6C 00 01 7F 80 FF 20 38 30 35  vandrel..... 805\n"
        "0010: 31 21                                            1!\n";
    const auto file = scratch.run({"dump", scratch.path("d.bin").string()});
    EXPECT_EQ(file.exit_code, 0) << describe(file);
    EXPECT_EQ(file.out, expected);
    const auto board = scratch.run({"dump", "--board", "18"});
    EXPECT_EQ(board.exit_code, 0) << describe(board);
    EXPECT_EQ(board.out, expected);
}

TEST_F(Cli, ProbeFindsTheBoardAndLeavesItsRamAsItWas) {
    for (const std::uint8_t first : {0x00, 0x5A, 0xFF}) {
        auto ram = patterned_ram();
        ram[0] = first;
        scratch.set_ram(ram);
        const auto r = scratch.run({"probe"});
        EXPECT_EQ(r.exit_code, 0) << describe(r);
        EXPECT_EQ(r.out, "board answers at 0x378\n");
        EXPECT_EQ(scratch.ram(), ram);
    }
}

TEST_F(Cli, ProbeWithoutABoardExits4) {
    const auto ram = patterned_ram();
    const auto r = scratch.run({"probe", "--port", "0x278"}, {"DLPORTIO_SIM_FAULT=no-board"});
    EXPECT_EQ(r.exit_code, 4) << describe(r);
    EXPECT_EQ(r.err, "quillon-cli: no board answers at 0x278 (the data input reads all ones)\n");
    EXPECT_EQ(scratch.ram(), ram);

    const auto low = scratch.run({"probe"}, {"DLPORTIO_SIM_FAULT=stuck-low"});
    EXPECT_EQ(low.exit_code, 4) << describe(low);
    EXPECT_TRUE(contains(low.err, "all zeros")) << low.err;

    // A noisy input can't say what address 0 held: nothing may be written then.
    // (An input stuck at one level reads the same twice, so the stuck-low run
    // above may have put its 00 back; start again from the known RAM.)
    scratch.set_ram(ram);
    const auto noisy = scratch.run({"probe"}, {"DLPORTIO_SIM_FAULT=flip=3"});
    EXPECT_EQ(noisy.exit_code, 4) << describe(noisy);
    EXPECT_TRUE(contains(noisy.err, "nothing was written")) << noisy.err;
    EXPECT_EQ(scratch.ram(), ram);

    // Inverted reads show DF as 20: its complement DF is the byte itself, kept.
    auto inverted = ram;
    inverted[0] = 0xDF;
    scratch.set_ram(inverted);
    const auto flipped = scratch.run({"probe"}, {"DLPORTIO_SIM_FAULT=flip=1"});
    EXPECT_TRUE(contains(flipped.err, "read back 20); nothing more was written")) << flipped.err;
    EXPECT_EQ(scratch.ram(), inverted);
}

TEST_F(Cli, ResetAndLinetestLeaveTheRamAlone) {
    const auto ram = patterned_ram();
    const auto reset = scratch.run({"reset"});
    EXPECT_EQ(reset.exit_code, 0) << describe(reset);
    EXPECT_EQ(reset.out, "reset the uc\n");

    const auto lines = scratch.run({"linetest", "--hold", "0"});
    EXPECT_EQ(lines.exit_code, 0) << describe(lines);
    for (const char* part :
         {"pin 2  data line", "pin 3  clock line", "pin 4  load line", "pin 5  reset line",
          "pin 6  low-address strobe", "pin 7  high-address strobe", "pin 8  read strobe",
          "pin 9  write strobe         skipped", "lines back at idle"}) {
        EXPECT_TRUE(contains(lines.out, part)) << part << "\n" << lines.out;
    }
    EXPECT_EQ(scratch.ram(), ram);
}

TEST_F(Cli, InfoShowsTheSettingsInForce) {
    auto r = scratch.run({"info"});
    EXPECT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_TRUE(contains(r.out, "library version: 1.02.000\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "port:            0x378\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "delay:           1\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "port access:     ")) << r.out;

    r = scratch.run({"--port", "0", "--delay", "200", "info"});
    EXPECT_TRUE(contains(r.out, "port:            0x278\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "delay:           200\n")) << r.out;

    // The program's own settings are the defaults, read the way it reads them.
    scratch.set_profile("[section]\nDelay=263\nPort=2\n");
    r = scratch.run({"info"});
    EXPECT_TRUE(contains(r.out, "port:            0x3BC\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "delay:           7\n")) << r.out;
    scratch.set_profile("[section]\nDelay=0\nPort=9\n");
    r = scratch.run({"info"});
    EXPECT_TRUE(contains(r.out, "port:            0x378\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "delay:           1\n")) << r.out;
    std::filesystem::remove(scratch.path("config/quillon.INI"));
    r = scratch.run({"info"});
    EXPECT_TRUE(contains(r.out, "delay:           10\n")) << r.out;
}

TEST_F(Cli, AProfileThatIsNoFileGivesTheDefaultsAndOneNote) {
    const auto profile = scratch.path("config/quillon.INI");
    std::filesystem::remove(profile);
    ASSERT_EQ(::mkfifo(profile.c_str(), 0600), 0);  // a blocking read would never return
    const auto r = scratch.run({"info"});
    EXPECT_EQ(r.exit_code, 0) << describe(r);
    EXPECT_TRUE(contains(r.out, "delay:           10\n")) << r.out;
    EXPECT_EQ(r.err, "quillon-cli: " + profile.string() +
                         ": not a regular file; using the default settings\n");
}

TEST_F(Cli, BadCommandLinesExit2AndTouchNothing) {
    const auto ram = patterned_ram();
    scratch.write("fw.bin", {1, 2, 3});
    const std::string fw = scratch.path("fw.bin").string();
    const std::vector<std::vector<std::string>> bad{
        {},
        {"flash", fw},
        {"upload"},
        {"upload", fw, "extra"},
        {"upload", fw, "--hold", "1"},
        {"reset", "--no-verify"},
        {"--port", "5", "upload", fw},
        {"--delay", "0", "upload", fw},
        {"--delay", "256", "upload", fw},
        {"download", "0", scratch.path("o.bin").string()},
        {"download", "32769", scratch.path("o.bin").string()},
        {"download", "65537", scratch.path("o.bin").string()},
        {"download", "many", scratch.path("o.bin").string()},
        {"dump", "--board", "0"},
        {"upload", "--format", "elf", fw},
        {"upload", "--bogus", fw},
    };
    for (const auto& args : bad) {
        const auto r = scratch.run(args);
        std::string joined;
        for (const auto& a : args) {
            joined += a + " ";
        }
        EXPECT_EQ(r.exit_code, 2) << joined << describe(r);
        EXPECT_TRUE(contains(r.err, "quillon-cli: ")) << joined << r.err;
    }
    EXPECT_EQ(scratch.ram(), ram);
    EXPECT_FALSE(std::filesystem::exists(scratch.path("o.bin")));
}

TEST_F(Cli, HelpAndVersion) {
    const auto help = scratch.run({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    for (const char* command :
         {"upload FILE [--format F] [--fill N] [--no-verify] [--no-reset]", "download SIZE FILE",
          "verify FILE", "checksum FILE", "dump FILE | dump --board SIZE", "reset", "probe",
          "linetest", "info", "Exit status"}) {
        EXPECT_TRUE(contains(help.out, command)) << command;
    }
    // A command's own help, both ways: its usage, its options, its example.
    const auto own = scratch.run({"upload", "--help"});
    EXPECT_EQ(scratch.run({"help", "upload"}).out, own.out);
    EXPECT_EQ(own.out.rfind("Usage: quillon-cli [--port P] [--delay D] [-q] upload FILE", 0), 0u);
    EXPECT_TRUE(contains(own.out, "\n  --no-verify    without comparing") &&
                contains(own.out, "\nExample:\n  quillon-cli upload firmware.ihx\n") &&
                !contains(own.out, "--hold"))
        << own.out;
    EXPECT_EQ(scratch.run({"help", "flash"}).exit_code, 2);
    const auto version = scratch.run({"--version"});
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_TRUE(contains(version.out, "quillon-cli ")) << version.out;
    EXPECT_TRUE(contains(version.out, "libvandrel 1.02.000")) << version.out;
}

TEST_F(Cli, ProgressFillsOneLineOnATerminalOnly) {
    scratch.write("fw.bin", random_bytes(200, 5));
    const auto tty = scratch.run({"upload", scratch.path("fw.bin").string()}, {}, true);
    ASSERT_EQ(tty.exit_code, 0) << describe(tty);
    EXPECT_TRUE(contains(tty.err, "upload   100% [####################] 200/200 bytes")) << tty.err;
    EXPECT_TRUE(contains(tty.err, "verify   100% [####################] 200/200 bytes")) << tty.err;
    EXPECT_TRUE(contains(tty.err, "\rupload     5% [#")) << tty.err;
    EXPECT_EQ(std::count(tty.err.begin(), tty.err.end(), '\n'), 2) << tty.err;

    const auto quiet = scratch.run({"upload", "-q", scratch.path("fw.bin").string()}, {}, true);
    ASSERT_EQ(quiet.exit_code, 0) << describe(quiet);
    EXPECT_EQ(quiet.err, "");
}

// Feeds bytes into a FIFO from another thread, as a shell pipe or a process
// substitution would: the reader gets them once, and the end when they are done.
class FifoWriter {
public:
    FifoWriter(const std::filesystem::path& path, std::string bytes) {
        if (mkfifo(path.c_str(), 0600) != 0) {
            throw std::runtime_error("mkfifo failed");
        }
        thread_ = std::thread([path, bytes = std::move(bytes)] {
            const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
            for (std::size_t done = 0; fd >= 0 && done < bytes.size();) {
                const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
                if (n <= 0) {
                    break;
                }
                done += static_cast<std::size_t>(n);
            }
            if (fd >= 0) {
                close(fd);
            }
        });
    }
    ~FifoWriter() { thread_.join(); }
    FifoWriter(const FifoWriter&) = delete;
    FifoWriter& operator=(const FifoWriter&) = delete;

private:
    std::thread thread_;
};

std::string as_text(const std::vector<std::uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

// An image larger than the 4 KB head that decides the format, and than 8 KB.
TEST_F(Cli, UploadReadsItsInputOnceFromAFifoOrStandardInput) {
    const auto image = random_bytes(10000, 17);
    const std::string hex = ihex::write_image(image);
    struct Case {
        const char* name;
        std::string bytes;
        bool on_stdin;
    };
    for (const Case& c :
         {Case{"raw.fifo", as_text(image), false}, Case{"hex.fifo", hex, false},
          Case{"raw-stdin.fifo", as_text(image), true}, Case{"hex-stdin.fifo", hex, true}}) {
        scratch.set_ram({});
        const auto fifo = scratch.path(c.name);
        FifoWriter writer(fifo, c.bytes);
        const auto r = c.on_stdin ? scratch.run({"upload", "-"}, {}, false, fifo.string())
                                  : scratch.run({"upload", fifo.string()});
        ASSERT_EQ(r.exit_code, 0) << c.name << describe(r);
        EXPECT_EQ(r.out,
                  "write 10000 to RAM [" + program_checksum(image) + "]\nverified 10000 bytes\n")
            << c.name;
        const auto ram = scratch.ram();
        EXPECT_TRUE(std::equal(image.begin(), image.end(), ram.begin())) << c.name;
    }
}

TEST_F(Cli, ADashWritesTheImageToStandardOutputAndReadsItFromStandardInput) {
    const auto ram = patterned_ram();
    const std::vector<std::uint8_t> head(ram.begin(), ram.begin() + 300);
    const auto raw = scratch.run({"download", "300", "-"});
    ASSERT_EQ(raw.exit_code, 0) << describe(raw);
    EXPECT_EQ(raw.out, as_text(head));  // the confirmation goes to standard error
    EXPECT_EQ(raw.err, "read 300 from RAM [" + program_checksum(head) + "]\n");

    const auto hex = scratch.run({"download", "300", "-", "--format", "ihex", "-q"});
    ASSERT_EQ(hex.exit_code, 0) << describe(hex);
    EXPECT_EQ(hex.out, ihex::write_image(head));

    scratch.write("in.hex", std::vector<std::uint8_t>(hex.out.begin(), hex.out.end()));
    const auto dump = scratch.run({"dump", "-"}, {}, false, scratch.path("in.hex").string());
    ASSERT_EQ(dump.exit_code, 0) << describe(dump);
    EXPECT_EQ(dump.out.substr(0, 6), "0000: ");
    EXPECT_EQ(std::count(dump.out.begin(), dump.out.end(), '\n'), 19) << dump.out;
    EXPECT_FALSE(std::filesystem::exists(scratch.path("-")));
}

// Keeps the programs started meanwhile from writing files beyond `bytes`: the
// kernel refuses such writes with EFBIG, as a full disk refuses them with ENOSPC.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &before_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);  // an ignored signal stays so across exec
        rlimit limit = before_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit before_{};
    void (*previous_)(int);
};

std::vector<std::string> folder_names(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(Cli, AFailedSaveLeavesTheOldFileAsItWas) {
    patterned_ram();
    std::filesystem::create_directories(scratch.path("out"));
    const std::vector<std::uint8_t> old_hex{':', '0', '0', '\n'};
    const auto old_raw = random_bytes(100, 3);
    scratch.write("out/old.hex", old_hex);
    scratch.write("out/old.bin", old_raw);
    struct Case {
        const char* name;
        std::string message;
    };
    for (const Case& c :
         {Case{"old.hex",
               "cannot write " + scratch.path("out/old.hex").string() + ": File too large"},
          Case{"old.bin", "data-error by saving!\nquillon-cli: cannot write " +
                              scratch.path("out/old.bin").string() + ": File too large"}}) {
        ProcessResult r;
        {
            FileSizeLimit limit(4096);
            r = scratch.run({"download", "32768", scratch.path("out/" + std::string(c.name))});
        }
        EXPECT_EQ(r.exit_code, 1) << c.name << describe(r);
        EXPECT_EQ(r.err, "quillon-cli: " + c.message + "\n") << c.name;
    }
    EXPECT_EQ(scratch.read("out/old.hex"), old_hex);
    EXPECT_EQ(scratch.read("out/old.bin"), old_raw);
    EXPECT_EQ(folder_names(scratch.path("out")), (std::vector<std::string>{"old.bin", "old.hex"}));
}

TEST_F(Cli, ASaveKeepsTheModeOfTheFileAndTheLinkToIt) {
    const auto ram = patterned_ram();
    const std::vector<std::uint8_t> head(ram.begin(), ram.begin() + 100);
    namespace fs = std::filesystem;
    scratch.write("kept.bin", {1, 2, 3});
    fs::permissions(scratch.path("kept.bin"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(scratch.path("kept.bin"), scratch.path("link.bin"));
    const mode_t mask = umask(027);
    const auto r = scratch.run({"download", "100", scratch.path("link.bin")});
    const auto fresh = scratch.run({"download", "100", scratch.path("new.bin")});
    umask(mask);
    ASSERT_EQ(r.exit_code, 0) << describe(r);
    ASSERT_EQ(fresh.exit_code, 0) << describe(fresh);
    EXPECT_TRUE(fs::is_symlink(scratch.path("link.bin")));
    EXPECT_EQ(scratch.read("kept.bin"), head);
    EXPECT_EQ(fs::status(scratch.path("kept.bin")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(scratch.read("new.bin"), head);
    EXPECT_EQ(fs::status(scratch.path("new.bin")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    // A device takes the bytes where it is.
    EXPECT_EQ(scratch.run({"download", "100", "/dev/null"}).exit_code, 0);
    EXPECT_EQ(scratch.run({"download", "100", "/dev/full"}).exit_code, 1);
}

TEST_F(Cli, ProbeWritesNothingWhenTheInputShowsOneLevelOnly) {
    // A data input held low reads every byte as 00: byte 0 must survive the probe.
    auto ram = patterned_ram();
    ram[0] = 0x5A;
    scratch.set_ram(ram);
    const auto low = scratch.run({"probe"}, {"DLPORTIO_SIM_FAULT=stuck-low"});
    EXPECT_EQ(low.exit_code, 4) << describe(low);
    EXPECT_EQ(low.err,
              "quillon-cli: cannot tell whether a board answers at 0x378: the data input reads all "
              "zeros (held low, or addresses 0 to 255 all hold 00); nothing was written\n");
    EXPECT_EQ(scratch.ram(), ram);

    // A board whose first bytes are all 00 can't be told from that without a write.
    const std::vector<std::uint8_t> zeros(0x8000, 0x00);
    scratch.set_ram(zeros);
    const auto blank = scratch.run({"probe"});
    EXPECT_EQ(blank.exit_code, 4) << describe(blank);
    EXPECT_EQ(scratch.ram(), zeros);

    // One byte apart from 00 within the first 256 shows the input works.
    auto marked = zeros;
    marked[255] = 0x01;
    scratch.set_ram(marked);
    const auto works = scratch.run({"probe"});
    EXPECT_EQ(works.exit_code, 0) << describe(works);
    EXPECT_EQ(scratch.ram(), marked);
}

TEST_F(Cli, AMissingTemporaryFolderFallsBackToTmp) {
    std::filesystem::remove_all(scratch.path("tmp"));
    patterned_ram();
    const auto image = random_bytes(64, 8);
    scratch.write_text("fw.hex", ihex::write_image(image));
    const auto upload = scratch.run({"upload", scratch.path("fw.hex").string()});
    EXPECT_EQ(upload.exit_code, 0) << describe(upload);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), scratch.ram().begin()));
    const auto probe = scratch.run({"probe"});
    EXPECT_EQ(probe.exit_code, 0) << describe(probe);
}

// A closed standard stream must not become the RAM file's or the image's descriptor.
TEST_F(Cli, ClosedOrFullStandardStreamsLoseNothing) {
    auto ram = patterned_ram();
    scratch.write("f.bin", {1, 2});
    const std::string full = "cannot write to standard output";
    const std::string closed = "quillon-cli: cannot write to standard output: it is closed\n";
    for (const auto& [line, code, message] :
         {std::tuple(std::string("download 64 o.bin 2>&-"), 0, std::string()),
          {"upload f.bin >&-", 0, ""},
          {"probe >&-", 0, ""},
          {"-q download 64 - >&-", 1, closed},
          {"download 64 - --format ihex >&-", 1, closed},
          {"dump f.bin >&-", 1, closed},
          {"checksum f.bin >&-", 1, closed},
          {"info >&-", 1, closed},
          {"--help >&-", 1, closed},
          {"upload - <&-", 1, "file has no content"},
          {"checksum f.bin >/dev/full", 1, full},
          {"dump f.bin >/dev/full", 1, full},
          {"info >/dev/full", 1, full}}) {
        const auto r = in_shell("exec \"$0\" " + line);
        EXPECT_EQ(r.exit_code, code) << line << describe(r);
        EXPECT_TRUE(r.err.empty() == message.empty() && contains(r.err, message)) << line << r.err;
    }
    EXPECT_EQ(scratch.read("o.bin"), std::vector<std::uint8_t>(ram.begin(), ram.begin() + 64));
    ram[0] = 1;
    ram[1] = 2;
    EXPECT_EQ(scratch.ram(), ram);
}

// Root writes any file, in the shell as here: the refusal shows for an ordinary user.
TEST_F(Cli, AReadOnlyFileIsRefusedAsTheShellRefusesIt) {
    patterned_ram();
    scratch.write("ro.bin", {1, 2, 3});
    // A shared folder, where the rename would pass.
    const auto r = in_shell(
        "chmod 777 . ram.bin && chmod 444 ro.bin && exec setpriv --reuid=65534 "
        "--regid=65534 --clear-groups \"$0\" download 16 ro.bin");
    if (r.exit_code > 100 || contains(r.raw_err, "setpriv")) {
        GTEST_SKIP() << "no setpriv to become user nobody: " << r.raw_err;
    }
    EXPECT_EQ(r.err, "quillon-cli: cannot write ro.bin: Permission denied\n") << describe(r);
    EXPECT_EQ(scratch.read("ro.bin"), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(Cli, TemporaryFilesLeaveNothingBehindAndAFullFolderGivesWay) {
    // No name stays once the file is open, so no signal can leave one behind.
    ::setenv("TMPDIR", scratch.path("tmp").c_str(), 1);
    EXPECT_TRUE(TempFile().ok() && std::filesystem::is_empty(scratch.path("tmp")));
    ::unsetenv("TMPDIR");

    // A real full disk: a 4 KB tmpfs, filled, on $TMPDIR in a namespace of its own.
    const auto image = random_bytes(9000, 6);
    scratch.write("f.bin", image);
    const auto r = in_shell(
        "exec unshare -rm sh -c 'mount -t tmpfs -o size=4k tmpfs \"$TMPDIR\" "
        "|| exit 99; cat f.bin >\"$TMPDIR/fill\"; exec \"$0\" upload f.bin' "
        "\"$0\"");
    if (r.exit_code == 99 || contains(r.raw_err, "unshare:")) {
        GTEST_SKIP() << "no tmpfs can be mounted in a namespace here: " << r.raw_err;
    }
    EXPECT_EQ(r.exit_code, 0) << describe(r);
    const auto ram = scratch.ram();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), ram.begin()));
}

}  // namespace
}  // namespace qcli
