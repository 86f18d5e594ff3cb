// The board's microcontroller as the simulated board's logic sees it: it runs
// while the reset line is low and owns the board's RAM then.
#pragma once

#include <memory>

#include "ram_file.h"

#include "settings.h"

namespace dlportio {

class BoardCpu {
public:
    virtual ~BoardCpu() = default;
    // Reset line fell: the microcontroller starts on the RAM as it now stands.
    virtual void run(BoardRam ram) = 0;
    // Reset line rose: the microcontroller stops and hands the RAM back (it may
    // write what the program changed into `ram`).
    virtual void hold(BoardRam ram) = 0;
};

// The microcontroller configured for the simulated board, or none (the board
// then only stores and returns bytes).
std::unique_ptr<BoardCpu> make_board_cpu(const Settings& settings);

}  // namespace dlportio
