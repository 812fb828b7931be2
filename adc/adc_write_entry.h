#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kx::adc {

inline constexpr std::size_t AdcWriteDigits = 4;

// What Text2 ("16 Bit Hex Value") asks "Write" to send: a word with the high
// half 0, or the message that tells the operator why there is none.
struct AdcWriteEntry {
  std::optional<std::int32_t> word;
  std::string error;
};

// Hex digits in either case, nothing else, worth at most four digits (any
// number of leading zeros is fine). The key filter keeps
// other characters out while typing, but a paste can still bring them in.
AdcWriteEntry ReadAdcWriteText(std::string_view text2);

}  // namespace kx::adc
