#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"

int main(int argc, char** argv) {
    // Line by line also into a pipe: a long calibrate or transfer shows its
    // progress as it goes.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int rc = qcli::run_cli(args, std::cout, std::cerr);
    std::cout.flush();
    return rc;
}
