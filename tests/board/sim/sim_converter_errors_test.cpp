#include "board/sim/sim_converter_errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace kx::board::sim {
namespace {

TEST(SimConverterErrors, AnIdealAdcRoundsAndClampsAsTheConverterDoes) {
  AdcTransfer ideal(ConverterErrors{});
  for (const double input : {-3.0, 0.49, 0.5, 1.0, 2047.6, 4094.49, 4094.5, 5000.0}) {
    EXPECT_EQ(ideal.Convert(input), static_cast<int>(std::clamp(std::round(input), 0.0, 4095.0)))
        << input;
  }
}

// A fine ramp through the seeded ADC meets every code but the missing ones,
// and the widths the model reports are the ones the ramp finds.
TEST(SimConverterErrors, AdcWidthsMissingCodesOffsetAndGainAreWhatWasAsked) {
  ConverterErrors errors;
  errors.offset_lsb = 1.5;
  errors.gain_percent = 0.25;
  errors.bow_lsb = 2.0;
  errors.dnl_spread_lsb = 0.2;
  errors.seed = 7;
  errors.missing_codes = {1000, 3001};
  AdcTransfer adc(errors);
  const std::vector<double> widths = adc.CodeWidths();
  std::vector<int> hits(kConverterCodes, 0);
  constexpr int kPerLsb = 64;
  for (int step = -200 * kPerLsb; step < 4300 * kPerLsb; ++step) {
    ++hits[static_cast<std::size_t>(adc.Convert((step + 0.5) / kPerLsb))];
  }
  std::set<int> missing;
  double worst = 0.0;
  for (int code = 1; code < kConverterCodes - 1; ++code) {
    const auto at = static_cast<std::size_t>(code);
    if (hits[at] == 0) {
      missing.insert(code);
    }
    worst = std::max(worst, std::abs(hits[at] / double{kPerLsb} - widths[at]));
  }
  EXPECT_EQ(missing, (std::set<int>{1000, 3001}));
  EXPECT_LT(worst, 1.5 / kPerLsb);
  // The code at mid-scale is raised by the offset, the bow and the gain.
  EXPECT_NEAR(adc.Convert(2047.5), 2047.5 * 1.0025 + 1.5 + 2.0, 1.0);
}

TEST(SimConverterErrors, DacLevelsCarryOffsetGainBowAndTheStepBack) {
  ConverterErrors errors;
  errors.offset_lsb = -2.0;
  errors.gain_percent = -0.1;
  errors.bow_lsb = 1.0;
  errors.dnl_spread_lsb = 0.1;
  errors.seed = 3;
  errors.step = DacStep{2048, -0.5};
  const DacTransfer dac(errors);
  EXPECT_DOUBLE_EQ(dac.OutputLsb(0), -2.0);
  EXPECT_NEAR(dac.OutputLsb(4095), -2.0 + 0.999 * 4095, 1e-9);
  EXPECT_NEAR(dac.OutputLsb(2048) - dac.OutputLsb(2047), 0.999 * -0.5, 0.01);
  EXPECT_NEAR(SmoothInl(errors, 4095 / 2.0), 1.0, 1e-12);
}

TEST(SimConverterErrors, NoiseHasItsSigmaOnEveryConversion) {
  ConverterErrors errors;
  errors.seed = 11;
  errors.noise_lsb = 2.0;
  AdcTransfer adc(errors);
  double sum = 0.0;
  double squares = 0.0;
  constexpr int kCount = 20000;
  for (int i = 0; i < kCount; ++i) {
    const double code = adc.Convert(2048.0) - 2048.0;
    sum += code;
    squares += code * code;
  }
  const double mean = sum / kCount;
  EXPECT_NEAR(std::sqrt(squares / kCount - mean * mean), std::sqrt(4.0 + 1.0 / 12.0), 0.05);
}

}  // namespace
}  // namespace kx::board::sim
