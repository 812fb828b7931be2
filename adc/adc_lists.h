#pragma once

#include <array>

namespace kx::adc {

// Entries of the three configuration lists ("Range", "Weak/Tri", "Coding"),
// in list order: entry 1 sets the list's bit.
inline constexpr std::array<const char*, 2> RangeItems = {"0V to 2xVREFA", "0V to VREFA"};
inline constexpr std::array<const char*, 2> WeakTriItems = {"Three-State", "Weak"};
inline constexpr std::array<const char*, 2> CodingItems = {"2's Compliment", "Straight Binary"};

}  // namespace kx::adc
