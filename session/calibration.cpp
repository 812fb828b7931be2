#include "session/calibration.h"

#include <algorithm>

namespace kx::session {

namespace {

bool AllEmpty(const std::array<std::optional<ChannelCalibration>, CalibrationChannels>& channels) {
  return std::none_of(channels.begin(), channels.end(),
                      [](const auto& channel) { return channel.has_value(); });
}

const board::LineCorrection* CorrectionOf(const std::optional<ChannelCalibration>& channel) {
  return channel ? &channel->correction : nullptr;
}

bool InRange(int index, int size) {
  return index >= 0 && index < size;
}

}  // namespace

bool Calibration::Empty() const {
  return AllEmpty(adc[0]) && AllEmpty(adc[1]) && AllEmpty(dac) && !adc_reference_volts &&
         !dac_reference_volts[0] && !dac_reference_volts[1];
}

const board::LineCorrection* Calibration::Adc(int range_index, int channel) const {
  if (!InRange(range_index, 2) || !InRange(channel, CalibrationChannels)) {
    return nullptr;
  }
  return CorrectionOf(
      adc[static_cast<std::size_t>(range_index)][static_cast<std::size_t>(channel)]);
}

const board::LineCorrection* Calibration::Dac(int channel) const {
  if (!InRange(channel, CalibrationChannels)) {
    return nullptr;
  }
  return CorrectionOf(dac[static_cast<std::size_t>(channel)]);
}

}  // namespace kx::session
