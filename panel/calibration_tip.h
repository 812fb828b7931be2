#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "adc/adc_control_word.h"
#include "board/board_identity.h"
#include "session/calibration.h"

namespace kx::panel {

// The board's own calibration as the panel found it once the start-up knew
// the board: applied, absent, or unreadable (then why).
struct PanelCalibration {
  std::optional<session::AppliedCalibration> applied;
  std::string error;
};

// The calibration chosen for the board (by default its own file from the
// calibration folder, where it has one).
PanelCalibration FindPanelCalibration(const session::CalibrationChoice& choice,
                                      const board::BoardIdentity& identity);

// The tooltip of a channel's lblVolts after a read: its calibrated volts,
// marked as such, where the calibration corrects that channel on the range
// in force; the reason where the board's file could not be used; else
// nothing, and the label shows only the panel's own volts.
std::string CalibrationTip(const PanelCalibration& calibration,
                           const adc::AdcConfiguration& configuration, float reference, int channel,
                           std::int32_t code);

}  // namespace kx::panel
