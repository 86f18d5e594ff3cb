// SPDX-FileCopyrightText: The Quillon developers
// SPDX-License-Identifier: GPL-2.0-or-later
// Prints quillon-cli's bash completion script; the build runs it.
#include <iostream>

#include "completion.h"

int main() {
    qcli::print_completion(std::cout);
    return std::cout.flush() ? 0 : 1;
}
