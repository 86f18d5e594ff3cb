/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// A request's arguments read with their types checked: a field of the wrong
// type is refused with the request and the field named ("launch: cycles
// must be a positive integer"), never with the JSON library's words.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

namespace dap {

struct BadArgument : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Arguments {
public:
    Arguments(std::string where, const nlohmann::json& fields)
        : where_(std::move(where)), fields_(fields) {}

    bool has(const char* field) const { return fields_.contains(field); }

    std::string text(const char* field, std::string otherwise = {}) const {
        if (!has(field)) {
            return otherwise;
        }
        return check(field, fields_[field].is_string(), "a string").get<std::string>();
    }
    bool flag(const char* field, bool otherwise) const {
        if (!has(field)) {
            return otherwise;
        }
        return check(field, fields_[field].is_boolean(), "true or false").get<bool>();
    }
    std::int64_t integer(const char* field, std::int64_t otherwise) const {
        if (!has(field)) {
            return otherwise;
        }
        return check(field, fields_[field].is_number_integer(), "an integer").get<std::int64_t>();
    }
    // At least `least` (0 or 1).
    std::uint64_t count(const char* field, std::uint64_t otherwise, int least = 0) const {
        if (!has(field)) {
            return otherwise;
        }
        const nlohmann::json& value = fields_[field];
        const bool whole = value.is_number_unsigned() ||
                           (value.is_number_integer() && value.get<std::int64_t>() >= 0);
        const bool ok = whole && value.get<std::uint64_t>() >= static_cast<std::uint64_t>(least);
        return check(field, ok, least > 0 ? "a positive integer" : "a whole number of 0 or more")
            .get<std::uint64_t>();
    }
    std::uint64_t need_count(const char* field) const {
        if (!has(field)) {
            throw BadArgument(where_ + field + " is missing");
        }
        return count(field, 0, 1);
    }
    double number(const char* field, double otherwise) const {
        if (!has(field)) {
            return otherwise;
        }
        const nlohmann::json& value = fields_[field];
        return check(field, value.is_number() && value.get<double>() > 0, "a positive number")
            .get<double>();
    }
    const nlohmann::json& array(const char* field) const {
        static const nlohmann::json empty = nlohmann::json::array();
        return has(field) ? check(field, fields_[field].is_array(), "an array") : empty;
    }
    // A field that is an object, read as arguments of its own.
    Arguments object(const char* field) const {
        static const nlohmann::json empty = nlohmann::json::object();
        return {where_ + field + ".",
                has(field) ? check(field, fields_[field].is_object(), "an object") : empty};
    }
    // Element `index` of an array field, which must be an object.
    Arguments element(const char* field, std::size_t index) const {
        const nlohmann::json& list = array(field);
        const std::string name = std::string(field) + "[" + std::to_string(index) + "]";
        if (!list[index].is_object()) {
            throw BadArgument(where_ + name + " must be an object");
        }
        return {where_ + name + ".", list[index]};
    }
    std::string need_text(const char* field) const {
        if (!has(field)) {
            throw BadArgument(where_ + field + " is missing");
        }
        return text(field);
    }

private:
    const nlohmann::json& check(const char* field, bool ok, const char* what) const {
        if (!ok) {
            throw BadArgument(where_ + field + " must be " + what);
        }
        return fields_[field];
    }

    std::string where_;  // "launch: ", "setBreakpoints: source."
    const nlohmann::json& fields_;
};

}  // namespace dap
