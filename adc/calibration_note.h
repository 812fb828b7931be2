#pragma once

#include <array>
#include <optional>
#include <string>

#include "board/line_correction.h"

namespace kx::adc {

// The calibration a capture or a log was read with, as its own file records
// it: where it came from and each channel's ADC correction on the range in
// force, kept in the file so that it still tells them once the calibration
// file has changed. The codes stay raw; a reader shows calibrated volts from
// these.
struct CalibrationNote {
  std::string path;   // the calibration file that was applied
  std::string board;  // the board's identity word
  std::array<std::optional<board::LineCorrection>, 16> adc;
  // The ADC reference as measured, where the calibration holds it and it
  // was used in place of the reference given.
  std::optional<double> reference_volts;
  bool operator==(const CalibrationNote&) const = default;
};

}  // namespace kx::adc
