#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kx::board {

// The link state shared by every chip access, alive for the whole run.
struct LinkState {
  // Set by Connect at every start-up and reload; never closed.
  std::int32_t BoardHandle = 0;
  // Result of the most recent download or request. Only start-up tests it.
  std::int16_t LinkStatus = 0;
  std::string FirmwarePath;
  // The path as a zero-terminated narrow string: 513 bytes as the library
  // expects, grown when a longer path would otherwise be cut short.
  std::vector<std::uint8_t> FirmwarePathBytes = std::vector<std::uint8_t>(513, 0);
  // The board's answer to the last ADC transfer: low byte, high byte, unused.
  std::array<std::uint8_t, 3> AdcReplyBytes{};
};

}  // namespace kx::board
