#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dac/hex_entry.h"

namespace kx::dac {

// Title of every refusal of the DAC operations.
inline constexpr const char* DacErrorTitle = "Error";

// A ticked channel whose text reads above FFF, as the refusal names it.
struct OversizedCode {
  int channel;  // 0 to 15
  std::string_view text;
};

// Why a load click sent nothing: each offending channel with its text.
std::string OversizedCodesMessage(const std::vector<OversizedCode>& codes);

// Why the raw write sent nothing; `fault` is not HexTextFault::None.
std::string RawWriteRefusal(HexTextFault fault, std::string_view text);

}  // namespace kx::dac
