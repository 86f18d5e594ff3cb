// The five line-level primitives on the port's data and status registers. All
// timing is counted in status-register reads of d x d per unit.
#pragma once

#include <cstdint>

namespace vandrel {

inline constexpr std::uint8_t kDataLine = 0x01;
inline constexpr std::uint8_t kClockLine = 0x02;
inline constexpr std::uint8_t kLoadLine = 0x04;
inline constexpr std::uint8_t kResetLine = 0x08;
inline constexpr std::uint8_t kLowAddressStrobe = 0x10;
inline constexpr std::uint8_t kHighAddressStrobe = 0x20;
inline constexpr std::uint8_t kDataInput = 0x40;  // status register bit

inline constexpr std::uint8_t kBoardRunning = 0xC0;
inline constexpr std::uint8_t kBoardHeld = 0xC8;

inline constexpr unsigned kShortWait = 1;
inline constexpr unsigned kLongWait = 2;

void write_data(std::uint8_t value);
std::uint8_t read_status();

void port_delay(unsigned units);
void send_byte(std::uint8_t value);
std::uint8_t receive_byte();
void latch_pulse(std::uint8_t strobe);
void pulse_reset();

}  // namespace vandrel
