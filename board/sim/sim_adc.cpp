#include "board/sim/sim_adc.h"

#include <algorithm>
#include <cmath>

namespace kx::board::sim {

std::uint16_t Adc::Convert(double volts, double reference, AdcTransfer* errors) const {
  const double span = HalfSpan() ? reference : 2.0 * reference;
  double scaled = errors != nullptr ? errors->Convert(volts / span * 4096.0)
                                    : std::round(volts / span * 4096.0);
  if (std::isnan(scaled)) {
    scaled = 0.0;  // keeps the cast below defined whatever the input
  }
  const auto straight = static_cast<std::uint16_t>(std::clamp(scaled, 0.0, 4095.0));
  return StraightBinary() ? straight : static_cast<std::uint16_t>(straight ^ 0x800U);
}

std::uint16_t Adc::Transfer(std::uint16_t word, double selected_input_volts, double reference,
                            AdcTransfer* errors) {
  const auto channel = static_cast<unsigned>(SelectedChannel());
  const auto output = static_cast<std::uint16_t>((channel << 12) |
                                                 Convert(selected_input_volts, reference, errors));
  if ((word & 0x8000U) != 0) {
    control_ = word;
  }
  return output;
}

}  // namespace kx::board::sim
