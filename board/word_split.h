#pragma once

#include <cstdint>

namespace kx::board {

// A 32-bit chip word travels as two request fields: its low half in `value`
// and its high half, taken as signed, in `index`. So 0xFFFF8390 goes out as
// value 0x8390 and index -1, and the library sees the high half's bits in the
// low 16 bits of the index either way.
struct SplitWord {
  std::int32_t value;
  std::int32_t index;
};

constexpr SplitWord SplitChipWord(std::int32_t word) {
  return SplitWord{static_cast<std::int32_t>(static_cast<std::uint32_t>(word) & 0xFFFFU),
                   word >> 16};  // arithmetic shift: C++20 defines it for negatives
}

// The 16-bit word read back from the three reply bytes: low byte first.
constexpr std::int32_t AssembleAdcReply(std::uint8_t low, std::uint8_t high) {
  return high * 256 + low;
}

}  // namespace kx::board
