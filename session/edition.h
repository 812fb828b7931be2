#pragma once

#include "adc/adc_word_rules.h"
#include "board/board_model.h"
#include "board/link_kind.h"

namespace kx {

// Everything in which KX7312(version2) and the earlier KX7312 differ. Code
// asks the edition; nothing else tells the two programs apart.
struct Edition {
  // The board both programs drive: its USB identifiers, firmware image,
  // channel counts and request codes.
  const board::BoardModel& board;
  const char* program_name;
  LinkKind link;
  const char* version_text;
  AdcWordRules adc_rules;
  bool centre_window;
  int client_height_twips;
  bool pulse_ldac_visible;
  const char* read_adc_caption;
  const char* read_save_caption;

  // The "ADC Voltages" row, the "ADC Reference" box and the "Coding" list:
  // wherever the word rules give volts.
  constexpr bool HasVolts() const { return kx::HasVolts(adc_rules); }
};

inline constexpr Edition Version2Edition{
    .board = board::KX7312Board,
    .program_name = "KX7312(version2)",
    .link = LinkKind::CvnCyusbUsb4,
    .version_text = "Version 1.05",
    .adc_rules = AdcWordRules::Version2,
    .centre_window = true,
    .client_height_twips = 7950,
    .pulse_ldac_visible = false,  // it lies below the client area
    .read_adc_caption = "Read ADC",
    .read_save_caption = "Read && Save ADC",
};

inline constexpr Edition ClassicEdition{
    .board = board::KX7312Board,
    .program_name = "KX7312",
    .link = LinkKind::UsbBoardIo,
    .version_text = "Version 1.02",
    .adc_rules = AdcWordRules::Classic,
    .centre_window = false,
    .client_height_twips = 7215,
    .pulse_ldac_visible = true,
    .read_adc_caption = "Read ADCs",
    .read_save_caption = "Read && Save ADCs",
};

}  // namespace kx
