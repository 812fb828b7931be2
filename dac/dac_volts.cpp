#include "dac/dac_volts.h"

#include <fmt/format.h>

#include <cmath>

#include "dac/dac_command_word.h"

namespace kx::dac {

double DacScale::CodeVolts(std::uint16_t code) const {
  const double place = correction != nullptr ? correction->Actual(code) : code;
  return place * reference_volts / DacCodes;
}

DacRange DacScale::Range() const {
  return {CodeVolts(0), CodeVolts(static_cast<std::uint16_t>(LargestChannelCode))};
}

std::optional<std::uint16_t> DacScale::NearestCode(double volts) const {
  if (!std::isfinite(volts) || !(reference_volts > 0.0)) {
    return std::nullopt;
  }
  const double place = volts * DacCodes / reference_volts;
  const double ideal = correction != nullptr ? correction->Ideal(place) : place;
  const double code = std::floor(ideal + 0.5);
  if (!(code >= 0.0 && code <= LargestChannelCode)) {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>(code);
}

std::string DacVoltsText(double volts) {
  // A value a hair below zero is still shown as zero, not as "-0.0000".
  const double shown = std::fabs(volts) < 0.00005 ? 0.0 : volts;
  return fmt::format("{:.4f} V", shown);
}

std::string OutsideRangeText(double volts, const DacRange& range) {
  return fmt::format("{} is outside {} to {}", DacVoltsText(volts), DacVoltsText(range.bottom),
                     DacVoltsText(range.top));
}

}  // namespace kx::dac
