// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// The 8051's instruction lengths and the addresses an instruction may lead to.
#include "next_instruction.h"

#include <algorithm>
#include <array>

namespace debugger {

namespace {

constexpr unsigned kSp = 0x81;
constexpr unsigned kDpl = 0x82;
constexpr unsigned kAcc = 0xE0;
constexpr std::array<unsigned, 6> kVectors{0x03, 0x0B, 0x13, 0x1B, 0x23, 0x2B};

}  // namespace

unsigned instruction_length(std::uint8_t opcode) {
    const unsigned low = opcode & 0x0F;
    const unsigned high = opcode >> 4;
    if ((opcode & 0x0F) == 0x01) {
        return 2;  // ajmp, acall
    }
    if (low >= 6) {  // the @Ri and Rn forms
        if (high == 0x7 || high == 0x8 || high == 0xA || (high == 0xD && low >= 8)) {
            return 2;
        }
        return high == 0xB ? 3 : 1;  // cjne
    }
    switch (opcode) {
        case 0x02:
        case 0x10:
        case 0x12:
        case 0x20:
        case 0x30:
        case 0x43:
        case 0x53:
        case 0x63:
        case 0x75:
        case 0x85:
        case 0x90:
        case 0xB4:
        case 0xB5:
        case 0xD5:
            return 3;
        case 0x05:
        case 0x15:
        case 0x24:
        case 0x25:
        case 0x34:
        case 0x35:
        case 0x40:
        case 0x42:
        case 0x44:
        case 0x45:
        case 0x50:
        case 0x52:
        case 0x54:
        case 0x55:
        case 0x60:
        case 0x62:
        case 0x64:
        case 0x65:
        case 0x70:
        case 0x72:
        case 0x74:
        case 0x80:
        case 0x82:
        case 0x92:
        case 0x94:
        case 0x95:
        case 0xA0:
        case 0xA2:
        case 0xB0:
        case 0xB2:
        case 0xC0:
        case 0xC2:
        case 0xC5:
        case 0xD0:
        case 0xD2:
        case 0xE5:
        case 0xF5:
            return 2;
        default:
            return 1;
    }
}

std::vector<unsigned> next_addresses(std::span<const std::uint8_t> code, unsigned pc,
                                     Target& target) {
    const auto byte = [&code](unsigned address) -> unsigned {
        return address < code.size() ? code[address] : 0xFF;
    };
    const std::uint8_t opcode = static_cast<std::uint8_t>(byte(pc));
    const unsigned length = instruction_length(opcode);
    const unsigned after = (pc + length) & 0xFFFF;
    std::vector<unsigned> next{after};
    const auto relative = [&](unsigned at) {
        next.push_back((after + static_cast<unsigned>(static_cast<std::int8_t>(byte(pc + at)))) &
                       0xFFFF);
    };
    if ((opcode & 0x0F) == 0x01) {
        next.push_back((after & 0xF800) | (static_cast<unsigned>(opcode >> 5) << 8) | byte(pc + 1));
    } else if (opcode == 0x02 || opcode == 0x12) {
        next.push_back(byte(pc + 1) << 8 | byte(pc + 2));
    } else if (opcode == 0x40 || opcode == 0x50 || opcode == 0x60 || opcode == 0x70 ||
               opcode == 0x80 || (opcode >= 0xD8)) {
        if (opcode <= 0xDF) {
            relative(1);  // jc, jnc, jz, jnz, sjmp, djnz Rn
        }
    } else if (opcode == 0x10 || opcode == 0x20 || opcode == 0x30 || opcode == 0xD5 ||
               (opcode >= 0xB4 && opcode <= 0xBF)) {
        relative(2);  // jbc, jb, jnb, djnz direct, cjne
    } else if (opcode == 0x22 || opcode == 0x32) {
        std::uint8_t sp = 0;
        std::array<std::uint8_t, 2> stacked{};
        if (target.read(Space::sfr, kSp, std::span(&sp, 1)) && sp >= 1 &&
            target.read(Space::idata, sp - 1u, stacked)) {
            next.push_back(static_cast<unsigned>(stacked[1]) << 8 | stacked[0]);
        }
    } else if (opcode == 0x73) {
        std::uint8_t a = 0;
        std::array<std::uint8_t, 2> dptr{};
        if (target.read(Space::sfr, kAcc, std::span(&a, 1)) &&
            target.read(Space::sfr, kDpl, dptr)) {
            next.push_back(((static_cast<unsigned>(dptr[1]) << 8 | dptr[0]) + a) & 0xFFFF);
        }
    }
    next.insert(next.end(), kVectors.begin(), kVectors.end());
    std::ranges::sort(next);
    next.erase(std::unique(next.begin(), next.end()), next.end());
    return next;
}

}  // namespace debugger
