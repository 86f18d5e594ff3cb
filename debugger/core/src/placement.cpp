// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Where a variable's bytes live: register banks, the bit area, the memory
// spaces; and reading them through the target.
#include "values.h"

#include <algorithm>
#include <cstring>

#include "value_bytes.h"

namespace debugger {

using namespace detail;

const cdb::Symbol* Values::find(const std::string& name, const Frame& frame) const {
    const cdb::Symbol* best = nullptr;
    for (const cdb::Symbol* local : locals(frame)) {
        if (local->name == name && (best == nullptr || local->level > best->level)) {
            best = local;
        }
    }
    if (best != nullptr) {
        return best;
    }
    const std::string module =
        frame.function != nullptr ? frame.function->scope.file : std::string();
    for (const cdb::Symbol& symbol : program_.info().symbols) {
        if (symbol.name != name) {
            continue;
        }
        if (symbol.scope.kind == cdb::Scope::Kind::file &&
            (module.empty() || symbol.scope.file == module)) {
            return &symbol;
        }
        if (symbol.scope.kind == cdb::Scope::Kind::global && best == nullptr) {
            best = &symbol;
        }
    }
    return best;
}

std::vector<const cdb::Symbol*> Values::locals(const Frame& frame) const {
    std::vector<const cdb::Symbol*> found;
    if (frame.function == nullptr) {
        return found;
    }
    for (const cdb::Symbol& symbol : program_.info().symbols) {
        if (symbol.scope.kind == cdb::Scope::Kind::local &&
            symbol.scope.function == frame.function->name) {
            found.push_back(&symbol);
        }
    }
    return found;
}

std::vector<const cdb::Symbol*> Values::globals() const {
    std::vector<const cdb::Symbol*> found;
    for (const cdb::Symbol& symbol : program_.info().symbols) {
        if ((symbol.scope.kind == cdb::Scope::Kind::global ||
             symbol.scope.kind == cdb::Scope::Kind::file) &&
            symbol.space != cdb::Space::sfr && symbol.space != cdb::Space::sbit &&
            !symbol.name.starts_with("__")) {
            found.push_back(&symbol);
        }
    }
    return found;
}

std::optional<std::string> Values::place(const cdb::Symbol& symbol, Value& value,
                                         const Frame* frame) {
    value.type = symbol.type;
    const unsigned size = symbol.type.size != 0 ? symbol.type.size : 1;
    const auto cells_at = [&value, size](Space space, unsigned address) {
        for (unsigned i = 0; i < size; ++i) {
            value.cells.push_back({space, address + i});
        }
    };
    using S = cdb::Space;
    // SDCC lists a variable it keeps nowhere with no registers or no address.
    if ((symbol.space == S::registers && symbol.registers.empty()) ||
        (symbol.space != S::registers && !symbol.address && !symbol.on_stack)) {
        value.optimized_out = true;
        return std::nullopt;
    }
    if (symbol.space == S::registers && frame != nullptr) {
        if (auto doubt = registers_in_doubt(symbol, *frame)) {
            return doubt;
        }
    }
    if (symbol.space == S::registers) {
        std::uint8_t psw = 0;
        if (!target_.read(Space::sfr, kPsw, std::span(&psw, 1))) {
            return "cannot read the register bank";
        }
        const unsigned bank = (psw >> 3) & 3;
        for (const std::string& reg : symbol.registers) {
            if (reg.size() == 2 && (reg[0] == 'r' || reg[0] == 'R') && reg[1] >= '0' &&
                reg[1] <= '7') {
                value.cells.push_back(
                    {Space::idata, bank * 8 + static_cast<unsigned>(reg[1] - '0')});
            } else if (reg == "a" || reg == "acc") {
                value.cells.push_back({Space::sfr, kAcc});
            } else if (reg == "b") {
                value.cells.push_back({Space::sfr, kB});
            } else if (reg == "dpl") {
                value.cells.push_back({Space::sfr, kDpl});
            } else if (reg == "dph") {
                value.cells.push_back({Space::sfr, kDph});
            } else {
                return "it is kept in the register " + reg + ", which cannot be read";
            }
        }
        return std::nullopt;
    }
    if (symbol.on_stack) {
        if (symbol.space != S::internal_stack) {
            return "it lives on the external stack (--xstack), which cannot be read";
        }
        if (frame == nullptr || !frame->base) {
            return "its function's frame is not set up here";
        }
        // An offset from the frame pointer, within internal RAM.
        for (unsigned i = 0; i < size; ++i) {
            value.cells.push_back(
                {Space::idata, static_cast<unsigned>(static_cast<int>(*frame->base) +
                                                     symbol.stack_offset + static_cast<int>(i)) &
                                   0xFF});
        }
        return std::nullopt;
    }
    if (!symbol.address) {
        return "it has no address";
    }
    const unsigned address = *symbol.address;
    switch (symbol.space) {
        case S::data:
        case S::idata:
            cells_at(Space::idata, address);
            return std::nullopt;
        case S::external:
        case S::paged:
            cells_at(Space::xdata, address);
            return std::nullopt;
        case S::code:
        case S::code_static:
            cells_at(Space::code, address);
            return std::nullopt;
        case S::sfr:
            cells_at(Space::sfr, address);
            return std::nullopt;
        case S::bit:
        case S::sbit:
            if (address < 0x80) {
                value.cells.push_back({Space::idata, kBitArea + address / 8});
            } else {
                value.cells.push_back({Space::sfr, address & 0xF8});
            }
            value.bit = static_cast<int>(address & 7);
            return std::nullopt;
        default:
            return "it lives on a stack, which cannot be read";
    }
}

std::optional<std::string> Values::registers_in_doubt(const cdb::Symbol& symbol,
                                                      const Frame& frame) const {
    if (frame.function == nullptr || symbol.scope.kind != cdb::Scope::Kind::local) {
        return std::nullopt;
    }
    std::string kept;
    for (const std::string& reg : symbol.registers) {
        kept += (kept.empty() ? "" : ", ") + reg;
    }
    // A caller saved what it keeps in registers before the call, and the
    // called function has used them since.
    if (frame.caller) {
        return "it is kept in " + kept + ", which the functions called since have used";
    }
    // SDCC names one set of registers for a variable's whole function, but
    // hands them to other values outside its live range, which it does not
    // record. Right after the prologue the parameters are surely there; later
    // only while no other value of the function may share them.
    const auto first = program_.first_line(*frame.function);
    if (first && frame.pc <= *first) {
        return std::nullopt;
    }
    for (const cdb::Symbol* other : locals(frame)) {
        if (other == &symbol || other->space != cdb::Space::registers) {
            continue;
        }
        const bool shares =
            other->registers.empty() || std::ranges::any_of(other->registers, [&](const auto& r) {
                return std::ranges::find(symbol.registers, r) != symbol.registers.end();
            });
        if (shares) {
            return "it is kept in " + kept + " only over lines SDCC does not record, and " +
                   other->name + " may hold them here";
        }
    }
    return std::nullopt;
}

bool Values::read(Value& value) const {
    value.bytes.assign(value.cells.size(), 0);
    for (std::size_t i = 0; i < value.cells.size();) {
        // One read for each run of neighbouring bytes of one space.
        std::size_t run = 1;
        while (i + run < value.cells.size() && value.cells[i + run].space == value.cells[i].space &&
               value.cells[i + run].address == value.cells[i].address + run) {
            ++run;
        }
        if (!target_.read(value.cells[i].space, value.cells[i].address,
                          std::span(value.bytes.data() + i, run))) {
            return false;
        }
        i += run;
    }
    return true;
}

std::variant<Value, std::string> Values::of(const cdb::Symbol& symbol, const Frame& frame) {
    Value value;
    value.name = symbol.name;
    if (const auto wrong = place(symbol, value, &frame)) {
        return "cannot read " + symbol.name + ": " + *wrong;
    }
    if (!read(value)) {
        return "cannot read " + symbol.name + " from the 8051";
    }
    return value;
}

std::vector<std::pair<std::string, std::optional<unsigned>>> Values::registers(std::uint32_t pc) {
    std::vector<std::pair<std::string, std::optional<unsigned>>> shown;
    const Frame frame{nullptr, pc, {}};
    for (const char* name : {"$r0", "$r1", "$r2", "$r3", "$r4", "$r5", "$r6", "$r7", "$a", "$b",
                             "$psw", "$sp", "$dptr", "$pc"}) {
        const auto value = evaluate(name, frame);
        const auto* read = std::get_if<Value>(&value);
        shown.emplace_back(std::string(name + 1),
                           read != nullptr ? std::optional<unsigned>(
                                                 static_cast<unsigned>(little_endian(read->bytes)))
                                           : std::nullopt);
    }
    return shown;
}

}  // namespace debugger
