#pragma once

#include "board/link_kind.h"

namespace kx {

// The ADC word rules of the two programs. Version2: configuration word
// 0x8380 + bits with the high half 0, channel words carry Range and Coding,
// the first word of a read is channel 0's word with the high half all ones,
// replies carry the code in bits 12-1. Classic: configuration word
// 0x8390 + bits with the high half all ones, channel words carry Range and
// Weak/Tri, a read starts with the fixed 0xFFFF8310, replies carry the code in
// bits 11-0, no Coding list and no volts.
enum class AdcWordRules { Version2, Classic };

// Everything in which KX7312(version2) and the earlier KX7312 differ. Code
// asks the edition; nothing else tells the two programs apart.
struct Edition {
  const char* program_name;
  LinkKind link;
  const char* version_text;
  AdcWordRules adc_rules;
  bool adc_voltages;  // "ADC Voltages" row, "ADC Reference" box and "Coding" list
  bool centre_window;
  int client_height_twips;
  bool pulse_ldac_visible;
  const char* read_adc_caption;
  const char* read_save_caption;
};

inline constexpr Edition Version2Edition{
    .program_name = "KX7312(version2)",
    .link = LinkKind::CvnCyusbUsb4,
    .version_text = "Version 1.05",
    .adc_rules = AdcWordRules::Version2,
    .adc_voltages = true,
    .centre_window = true,
    .client_height_twips = 7950,
    .pulse_ldac_visible = false,  // it lies below the client area
    .read_adc_caption = "Read ADC",
    .read_save_caption = "Read && Save ADC",
};

inline constexpr Edition ClassicEdition{
    .program_name = "KX7312",
    .link = LinkKind::UsbBoardIo,
    .version_text = "Version 1.02",
    .adc_rules = AdcWordRules::Classic,
    .adc_voltages = false,
    .centre_window = false,
    .client_height_twips = 7215,
    .pulse_ldac_visible = true,
    .read_adc_caption = "Read ADCs",
    .read_save_caption = "Read && Save ADCs",
};

}  // namespace kx
