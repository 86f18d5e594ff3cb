// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "uart_echo.h"

#include <board_query.h>

namespace qcli {

std::string UartEcho::copy_new(std::ostream& out) {
    const std::string text = output_.new_uart_text();
    if (!text.empty()) {
        out << text << std::flush;
        seen_ = true;
        line_open_ = text.back() != '\n';
        board_query::set_line_open(line_open_);
    }
    return text;
}

void UartEcho::close_line(std::ostream& out) {
    if (line_open_) {
        out << '\n';
        line_open_ = false;
        board_query::set_line_open(false);
    }
}

}  // namespace qcli
