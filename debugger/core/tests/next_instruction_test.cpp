// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The instruction lengths and branch targets of an instruction step, against
// s51's own disassembler: every opcode at its own four bytes, the rest NOPs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "next_instruction.h"

namespace debugger {
namespace {

// Memory of zeros, with SP, ACC and DPTR as the case sets them.
class Zeros : public Target {
public:
    std::vector<std::uint8_t> sfr = std::vector<std::uint8_t>(256);
    std::vector<std::uint8_t> idata = std::vector<std::uint8_t>(256);
    bool read(Space space, unsigned address, std::span<std::uint8_t> bytes) override {
        const auto& from = space == Space::sfr ? sfr : idata;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = from[(address + i) & 0xFF];
        }
        return true;
    }
    bool write(Space, unsigned, std::span<const std::uint8_t>) override { return false; }
    bool set_break(unsigned) override { return false; }
    bool clear_break(unsigned) override { return false; }
    bool resume(std::span<const unsigned>) override { return false; }
    void pause() override {}
    TargetState state() override { return {}; }
    void wait(std::chrono::milliseconds) override {}
};

std::filesystem::path write_image(const std::vector<std::uint8_t>& code) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("next_instruction_" + std::to_string(::getpid()) + ".ihx");
    std::ofstream out(path);
    for (std::size_t at = 0; at < code.size(); at += 16) {
        std::vector<std::uint8_t> record{16, static_cast<std::uint8_t>(at >> 8),
                                         static_cast<std::uint8_t>(at), 0};
        record.insert(record.end(), code.begin() + at, code.begin() + at + 16);
        unsigned sum = 0;
        out << ':';
        for (const std::uint8_t b : record) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", b);
            out << hex;
            sum += b;
        }
        char check[3];
        std::snprintf(check, sizeof check, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
        out << check << '\n';
    }
    out << ":00000001FF\n";
    return path;
}

TEST(NextInstruction, LengthsAndTargetsAreTheSimulatorsForEveryOpcode) {
    if (::access("/usr/bin/s51", X_OK) != 0) {
        GTEST_SKIP() << "s51 (sdcc-ucsim) is not installed";
    }
    std::vector<std::uint8_t> code(1024);
    for (unsigned op = 0; op < 256; ++op) {
        code[4 * op] = static_cast<std::uint8_t>(op);
    }
    const auto image = write_image(code);
    const std::string command =
        "printf 'dc 0x0 0x3ff\\nquit\\n' | /usr/bin/s51 -q " + image.string() + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    // "0x0008  ? 02 00 00 LJMP   0x0000 <.reset>"
    const std::regex line(R"(^0x([0-9a-f]{4}) +\?? *((?:[0-9a-f]{2} )+) *([A-Z]+|-)(.*))");
    const std::regex branch("AJMP|ACALL|LJMP|LCALL|SJMP|JC|JNC|JZ|JNZ|JB|JNB|JBC|CJNE|DJNZ");
    const std::regex address_word("0x([0-9a-f]{4})");  // the last one is the target
    unsigned branches = 0;
    Zeros zeros;
    unsigned checked = 0;
    char text[512];
    while (std::fgets(text, sizeof text, pipe) != nullptr) {
        std::cmatch m;
        if (!std::regex_search(text, m, line)) {
            continue;
        }
        const unsigned address = std::stoul(m[1].str(), nullptr, 16);
        if (address % 4 != 0) {
            continue;
        }
        const auto opcode = static_cast<std::uint8_t>(address / 4);
        EXPECT_EQ(instruction_length(opcode), m[2].length() / 3) << text;
        if (std::regex_match(m[3].str(), branch)) {
            const std::string operands = m[4].str();
            std::string target;
            for (std::sregex_iterator it(operands.begin(), operands.end(), address_word), end;
                 it != end; ++it) {
                target = (*it)[1].str();
            }
            const auto next = next_addresses(code, address, zeros);
            EXPECT_TRUE(std::ranges::binary_search(next, std::stoul(target, nullptr, 16))) << text;
            ++branches;
        }
        ++checked;
    }
    ::pclose(pipe);
    std::filesystem::remove(image);
    EXPECT_EQ(checked, 256u);
    // ajmp, acall, ljmp and lcall, sjmp and jc..jnz, jb jnb jbc, the djnz, the cjne
    EXPECT_EQ(branches, 8u + 8u + 2u + 5u + 3u + 9u + 12u);
}

TEST(NextInstruction, ReturnsAndIndirectJumpsGoWhereTheRegistersSay) {
    Zeros target;
    target.sfr[0x81] = 0x09;  // SP: the return address 0x1234 at 0x08, 0x09
    target.idata[0x08] = 0x34;
    target.idata[0x09] = 0x12;
    target.sfr[0xE0] = 0x05;  // A
    target.sfr[0x82] = 0x00;  // DPL
    target.sfr[0x83] = 0x20;  // DPH
    const std::vector<std::uint8_t> ret{0x22};
    const std::vector<std::uint8_t> jmp{0x73};
    for (const auto& [code, expected] : {std::pair{ret, 0x1234u}, std::pair{jmp, 0x2005u}}) {
        const auto next = next_addresses(code, 0, target);
        EXPECT_TRUE(std::ranges::binary_search(next, expected)) << std::hex << expected;
    }
}

}  // namespace
}  // namespace debugger
