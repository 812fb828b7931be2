#pragma once

#include <cstdint>

#include "adc/adc_word_rules.h"

namespace kx::adc {

inline constexpr std::int32_t CodeMask = 0xFFF;

// The 12-bit conversion code in an ADC reply. The version2 link hands the
// word over one bit later than the converter clocks it out, so its code sits
// in bits 12-1; the classic link's sits in bits 11-0. The channel number in
// the top bits is never looked at.
constexpr std::int32_t ConversionCode(AdcWordRules rules, std::int32_t reply) {
  const auto bits = static_cast<std::uint32_t>(reply);
  const std::uint32_t aligned = rules == AdcWordRules::Version2 ? bits >> 1 : bits;
  return static_cast<std::int32_t>(aligned & static_cast<std::uint32_t>(CodeMask));
}

}  // namespace kx::adc
