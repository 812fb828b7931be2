#pragma once

namespace kx {

// The ADC word rules of the two programs. Version2: configuration word
// 0x8380 + bits with the high half 0, channel words carry Range and Coding,
// the first word of a read is channel 0's word with the high half all ones,
// replies carry the code in bits 12-1. Classic: configuration word
// 0x8390 + bits with the high half all ones, channel words carry Range and
// Weak/Tri, a read starts with the fixed 0xFFFF8310, replies carry the code in
// bits 11-0, no Coding list and no volts.
enum class AdcWordRules { Version2, Classic };

// Only the Version2 rules know the coding of a reply, and so its volts: they
// bring the "ADC Voltages" row, the "ADC Reference" box and the "Coding" list.
constexpr bool HasVolts(AdcWordRules rules) {
  return rules == AdcWordRules::Version2;
}

}  // namespace kx
