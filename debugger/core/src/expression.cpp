// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// What the user names: expressions read and assigned, and the 8051's registers.
#include "values.h"

#include <algorithm>

#include "expression_parser.h"
#include "value_bytes.h"

namespace debugger {

using namespace detail;

std::variant<Value, std::string> Values::evaluate(const std::string& expression,
                                                  const Frame& frame) {
    return Evaluator(*this, frame, expression).run();
}

std::variant<Value, std::string> Values::evaluate_register(const std::string& name,
                                                           const Frame& frame) {
    (void)frame;
    const std::string reg = name.substr(1);
    Value value;
    value.name = name;
    const std::pair<const char*, unsigned> named[] = {{"sp", kSp},  {"a", kAcc},   {"acc", kAcc},
                                                      {"b", kB},    {"psw", kPsw}, {"dpl", kDpl},
                                                      {"dph", kDph}};
    const auto found =
        std::ranges::find(named, reg, [](const auto& n) { return std::string(n.first); });
    if (found != std::end(named)) {
        value.cells.push_back({Space::sfr, found->second});
        value.type = byte_type();
    } else if (reg == "dptr") {
        value.cells = {{Space::sfr, kDpl}, {Space::sfr, kDph}};
        value.type = byte_type(2);
    } else if (reg.size() == 2 && reg[0] == 'r' && reg[1] >= '0' && reg[1] <= '7') {
        cdb::Symbol r;
        r.name = name;
        r.space = cdb::Space::registers;
        r.registers = {reg};
        r.type = byte_type();
        if (const auto wrong = place(r, value)) {
            return *wrong;
        }
    } else {
        return std::string();
    }
    if (!read(value)) {
        return "cannot read " + name + " from the 8051";
    }
    return value;
}

std::optional<std::string> Values::assign(const std::string& expression, const std::string& text,
                                          const Frame& frame) {
    auto result = evaluate(expression + " = (" + text + ")", frame);
    if (auto* wrong = std::get_if<std::string>(&result)) {
        return *wrong;
    }
    return std::nullopt;
}

}  // namespace debugger
