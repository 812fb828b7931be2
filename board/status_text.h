#pragma once

#include <cstdint>
#include <string>

namespace kx::board {

// "0x" and the word in upper-case hexadecimal without leading zeros, as the
// status line shows every word sent: 0x8000001, 0x0, 0xFFFF8390.
std::string HexWithoutLeadingZeros(std::int32_t word);

std::string DacWriteStatus(std::int32_t word);  // "DAC Write: 0x..."
std::string AdcWriteStatus(std::int32_t word);  // "ADC Write: 0x..."

// Title of the "No Evaluation Board Found" box: ": " and the status in decimal.
std::string NoBoardTitle(std::int16_t status);

inline constexpr const char* NoBoardMessage = "No Evaluation Board Found";

}  // namespace kx::board
