/* SPDX-FileCopyrightText: The Quillon developers */
/* SPDX-License-Identifier: GPL-2.0-or-later */
// Reading numbers typed into fields.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace windowing {

// The field rule: only the first 31 characters count; leading blanks and tabs
// are skipped; a minus sign fails; an optional plus sign and decimal digits
// follow (values too large for 32 bits read as 4294967295); a value of 0 must
// begin with the digit "0"; only blanks and tabs may follow.
std::optional<std::uint32_t> parse_field_number(const QString& text);

}  // namespace windowing
