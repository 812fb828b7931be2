#include "board/status_text.h"

#include <fmt/format.h>

namespace kx::board {

std::string HexWithoutLeadingZeros(std::int32_t word) {
  return fmt::format("0x{:X}", static_cast<std::uint32_t>(word));
}

std::string DacWriteStatus(std::int32_t word) {
  return "DAC Write: " + HexWithoutLeadingZeros(word);
}

std::string AdcWriteStatus(std::int32_t word) {
  return "ADC Write: " + HexWithoutLeadingZeros(word);
}

std::string NoBoardTitle(std::int16_t status) {
  return fmt::format(": {}", status);
}

}  // namespace kx::board
