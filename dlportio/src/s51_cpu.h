// The board's 8051, simulated by ucsim's s51: it starts on the board's RAM as
// code and data memory when the reset line falls, and hands the RAM back, with
// what the firmware wrote, when the line rises.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "board_cpu.h"

namespace dlportio {

struct S51Settings {
    std::string program;     // absolute path of s51
    std::string uart_log;    // appended to; empty drops the output
    std::string ports_file;  // last port latches; empty: not kept
    std::chrono::milliseconds answer_time{std::chrono::seconds(5)};  // per console answer
};

// What the firmware left on its four ports.
struct PortLatches {
    std::uint8_t p0, p1, p2, p3;
};

// "P0=0xFF\nP1=0x55\n...", the content of the ports file.
std::string port_latches_text(const PortLatches& latches);

class S51Cpu final : public BoardCpu {
public:
    explicit S51Cpu(S51Settings settings);
    // Ends a simulator that still runs, without taking its memory back.
    ~S51Cpu() override;

    void run(BoardRam ram) override;
    void hold(BoardRam ram) override;

private:
    struct Session;

    S51Settings settings_;
    std::unique_ptr<Session> session_;
};

}  // namespace dlportio
