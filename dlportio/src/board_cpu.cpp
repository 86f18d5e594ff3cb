#include "board_cpu.h"

namespace dlportio {

std::unique_ptr<BoardCpu> make_board_cpu() {
    return nullptr;
}

}  // namespace dlportio
