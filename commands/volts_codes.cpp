#include "commands/volts_codes.h"

#include <fmt/format.h>

#include "board/board_references.h"

namespace kx::commands {

dac::DacScale ChannelScale(int channel, bool internal_reference,
                           const session::Calibration* calibration) {
  const int group = channel / dac::ChannelsPerGroup;
  dac::DacScale scale;
  if (!internal_reference) {
    const std::optional<double> measured =
        calibration != nullptr ? calibration->dac_reference_volts[static_cast<std::size_t>(group)]
                               : std::nullopt;
    scale.reference_volts = measured.value_or(board::BoardReferenceVolts);
  }
  if (calibration != nullptr) {
    scale.correction = calibration->Dac(channel);
  }
  return scale;
}

dac::DacScale ChannelScale(int channel, const dac::DacOperations& dac,
                           const session::Calibration* calibration) {
  return ChannelScale(channel, dac.InternalReference(channel / dac::ChannelsPerGroup), calibration);
}

std::string ScaleText(int channel, const LoadedCode::Volts& volts) {
  const int first = channel / dac::ChannelsPerGroup * dac::ChannelsPerGroup;
  return fmt::format("DAC{}-{}'s {} {:g} V reference{}", first, first + dac::ChannelsPerGroup - 1,
                     volts.internal_reference ? "internal" : "external", volts.reference_volts,
                     volts.calibrated ? ", calibrated" : "");
}

Checked<LoadResult> LoadedCodes(const DacLoad& load, const dac::DacOperations& dac,
                                const session::Calibration* calibration) {
  LoadResult result;
  for (const ChannelCode& entry : load.codes) {
    if (!entry.volts) {
      result.loaded.push_back({entry.channel, entry.code, std::nullopt});
      continue;
    }
    const dac::DacScale scale = ChannelScale(entry.channel, dac, calibration);
    const LoadedCode::Volts volts{
        .asked = *entry.volts,
        .reference_volts = scale.reference_volts,
        .internal_reference = dac.InternalReference(entry.channel / dac::ChannelsPerGroup),
        .calibrated = scale.correction != nullptr};
    const std::optional<std::uint16_t> code = scale.NearestCode(*entry.volts);
    if (!code) {
      return Fault{FaultKind::OutOfRange,
                   fmt::format("DAC{}: {} on {}", entry.channel,
                               dac::OutsideRangeText(*entry.volts, scale.Range()),
                               ScaleText(entry.channel, volts))};
    }
    LoadedCode loaded{entry.channel, *code, volts};
    loaded.volts->volts = scale.CodeVolts(*code);
    result.loaded.push_back(loaded);
  }
  return result;
}

}  // namespace kx::commands
