#include "analysis/capture_scale.h"

#include <cstddef>

#include "adc/adc_control_word.h"
#include "adc/adc_display.h"
#include "adc/adc_reply.h"

namespace kx::analysis {
CaptureScale ScaleFor(CaptureKind kind, CaptureScale chosen) {
  if (kind == CaptureKind::Channel0) {
    chosen.half_span = (adc::FixedChannel0Word & adc::RangeField) != 0;
    chosen.straight_binary = (adc::FixedChannel0Word & adc::CodingField) != 0;
  }
  return chosen;
}

const board::LineCorrection* CaptureScale::Correction(int channel) const {
  if (!calibration || channel < 0 || static_cast<std::size_t>(channel) >= calibration->adc.size()) {
    return nullptr;
  }
  const auto& correction = calibration->adc[static_cast<std::size_t>(channel)];
  return correction ? &*correction : nullptr;
}

double CodeVolts(std::int32_t code, const CaptureScale& scale) {
  const auto range_bit = static_cast<std::int16_t>(scale.half_span ? adc::RangeField : 0);
  const float span = adc::FullScaleSpan(static_cast<float>(scale.reference), range_bit);
  return adc::CodeVolts(code, span, scale.straight_binary);
}

double CodeVolts(std::int32_t code, const CaptureScale& scale, int channel) {
  const board::LineCorrection* correction = scale.Correction(channel);
  if (correction == nullptr) {
    return CodeVolts(code, scale);
  }
  const auto range_bit = static_cast<std::int16_t>(scale.half_span ? adc::RangeField : 0);
  const float span = adc::FullScaleSpan(static_cast<float>(scale.reference), range_bit);
  return adc::CalibratedCodeVolts(code, span, scale.straight_binary, correction);
}

std::vector<ChannelSamples> Samples(const CaptureFile& file, const CaptureScale& chosen) {
  const CaptureScale scale = ScaleFor(file.kind, chosen);
  std::vector<ChannelSamples> channels(file.columns.size());
  for (std::size_t c = 0; c < file.columns.size(); ++c) {
    ChannelSamples& out = channels[c];
    out.channel = static_cast<int>(c);
    const auto& column = file.columns[c];
    out.codes.reserve(column.size());
    out.values.reserve(column.size());
    out.volts.reserve(column.size());
    for (const std::int32_t number : column) {
      const std::int32_t code =
          file.kind == CaptureKind::Channel0 ? adc::ConversionCode(scale.rules, number) : number;
      out.codes.push_back(code);
      out.values.push_back(SignedCode(code, scale.straight_binary));
      out.volts.push_back(CodeVolts(code, scale, out.channel));
    }
  }
  return channels;
}

}  // namespace kx::analysis
