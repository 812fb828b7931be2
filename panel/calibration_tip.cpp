#include "panel/calibration_tip.h"

#include <utility>

#include "adc/adc_display.h"
#include "session/calibration_file.h"

namespace kx::panel {

PanelCalibration FindPanelCalibration(const session::CalibrationChoice& choice,
                                      const board::BoardIdentity& identity) {
  session::CalibrationResolved resolved = session::ResolveCalibration(choice, identity);
  return {std::move(resolved.applied), std::move(resolved.error)};
}

std::string CalibrationTip(const PanelCalibration& calibration,
                           const adc::AdcConfiguration& configuration, float reference, int channel,
                           std::int32_t code) {
  if (!calibration.error.empty()) {
    return "Not calibrated: " + calibration.error;
  }
  if (!calibration.applied) {
    return {};
  }
  // The calibration keeps a correction per entry of the Range list.
  const int range_index = configuration.AdcRangeBit != 0 ? 1 : 0;
  const board::LineCorrection* correction =
      calibration.applied->calibration.Adc(range_index, channel);
  if (correction == nullptr) {
    return {};
  }
  const float span = adc::FullScaleSpan(reference, configuration.AdcRangeBit);
  const double volts =
      adc::CalibratedCodeVolts(code, span, configuration.AdcCodingBit != 0, correction);
  return "Calibrated: " + adc::VoltText(volts) + " V (calibration of board " +
         calibration.applied->calibration.board + ")";
}

}  // namespace kx::panel
