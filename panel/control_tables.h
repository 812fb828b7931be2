#pragma once

#include <array>

#include "adc/adc_lists.h"

namespace kx::panel {

// Texts of the window's controls, as the operator sees them.

inline constexpr std::array<const char*, 16> kInitialDacTexts = {
    "1FF", "2FF", "3FF", "4FF", "5FF", "6FF", "7FF", "FFF",
    "0FF", "1FF", "2FF", "3FF", "4FF", "5FF", "6FF", "7FF"};

inline constexpr const char* kInputRegTooltip =
    "This box should be ticked if you want the Input Register for this channel updated";
inline constexpr const char* kDacRegTooltip =
    "This box should be ticked if you want the DAC Register for this channel updated";
inline constexpr const char* kReadAdcTooltip = "Read the selected channels";
inline constexpr const char* kReadSaveTooltip =
    "Clicking this button will read and save 512 samples from each of the selected channels";

inline constexpr std::array<const char*, 4> kTabCaptions = {"DAC0 to DAC7", "DAC8 to DAC15", "ADC",
                                                            "Misc"};

// The three ADC lists: frame name, frame caption, initial text, items.
struct AdcList {
  const char* frame_name;
  const char* frame_caption;
  const char* initial_text;
  std::array<const char*, 2> items;
  const char* accessible_name;
};
inline constexpr std::array<AdcList, 3> kAdcLists = {{
    {"Frame5", "Range", "0V to 2xVREF", adc::RangeItems, "Range"},
    {"Frame8", "Weak/Tri", "Three-State", adc::WeakTriItems, "Weak/Tri"},
    {"Frame11", "Coding", "2's Compliment", adc::CodingItems, "Coding"},
}};

// The configuration groups of a DAC page. Their frames carry crossed names:
// page 0 holds Frame3(1) and Frame4(1), page 1 holds Frame3(0) and Frame4(2).
struct DacPageFrames {
  int power_down_frame;  // Frame2(n)
  int reference_frame;   // Frame3(n)
  int clear_code_frame;  // Frame4(n)
  int ldac_frame;        // Frame2(n)
};
inline constexpr std::array<DacPageFrames, 2> kDacPageFrames = {{{0, 1, 1, 2}, {1, 0, 2, 3}}};

}  // namespace kx::panel
