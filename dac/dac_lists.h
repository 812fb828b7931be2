#pragma once

#include <array>

namespace kx::dac {

// Items of the per-group lists, in list order; the list index is what the
// operations take.
inline constexpr std::array<const char*, 4> PowerDownItems = {"Normal Mode", "1K to GND",
                                                              "100K to GND", "Three-state"};
inline constexpr std::array<const char*, 2> ReferenceItems = {"External Reference",
                                                              "Internal Reference"};
inline constexpr std::array<const char*, 3> ClearCodeItems = {"0x0000", "0x0800", "0x0FFF"};

// The power-down mode programmed for a list index. No item chosen (-1), or an
// index the list does not have, counts as "Normal Mode".
constexpr int PowerDownModeOf(int list_index) {
  return list_index >= 1 && list_index <= 3 ? list_index : 0;
}

// Clear-code select s for a list index: "0x0800" 1, "0x0FFF" 2, else 0.
constexpr int ClearCodeSelectOf(int list_index) {
  return list_index == 1 || list_index == 2 ? list_index : 0;
}

// Only the two reference items send anything.
constexpr bool ReferenceChosen(int list_index) {
  return list_index == 0 || list_index == 1;
}

}  // namespace kx::dac
