#include "analysis/linearity/dac_sweep.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace kx::linearity {
namespace {

// A DAC of offset, gain and bow read by an ADC with the same LSB, whose own
// bow is in `adc_bow`; every 8th code, with a fall at `fall_code`.
struct Curve {
  double offset = 0.0;
  double gain_percent = 0.0;
  double bow = 0.0;
  double adc_bow = 0.0;
  int fall_code = -1;
};

double Bow(double bow, double code) {
  const double x = code / 4095.0;
  return bow * 4.0 * x * (1.0 - x);
}

std::vector<SweepPoint> Sweep(const Curve& curve) {
  std::vector<SweepPoint> points;
  for (int code = 0; code < 4096; code += 8) {
    double output = curve.offset + (1.0 + curve.gain_percent / 100.0) * code + Bow(curve.bow, code);
    if (code >= curve.fall_code && curve.fall_code >= 0) {
      output -= 9.0;  // one LSB down from the step below
    }
    points.push_back({code, output + Bow(curve.adc_bow, output), 0.0, 16});
  }
  return points;
}

// What a code-density test of the ADC above gives.
DensityLinearity AdcResult(double bow) {
  DensityLinearity adc;
  adc.first_code = 1;
  adc.last_code = 4094;
  adc.inl.assign(4096, 0.0);
  adc.dnl.assign(4096, 0.0);
  for (int code = 1; code <= 4094; ++code) {
    adc.inl[code] = Bow(bow, code);
  }
  return adc;
}

struct SweepCase {
  const char* name;
  Curve curve;
  bool take_adc_out;
  double offset;   // endpoint and best fit alike
  double gain;     // percent
  double mid_inl;  // endpoint line
  std::vector<int> falls;
};

const SweepCase kCases[] = {
    {"Ideal", {}, false, 0.0, 0.0, 0.0, {}},
    {"OffsetAndGain", {2.5, -0.1, 0.0, 0.0, -1}, false, 2.5, -0.1, 0.0, {}},
    {"Bow", {0.0, 0.0, 1.5, 0.0, -1}, false, 0.0, 0.0, 1.5, {}},
    {"AdcBowTogether", {0.0, 0.0, 0.5, 1.0, -1}, false, 0.0, 0.0, 1.5, {}},
    {"AdcBowTakenOut", {1.0, 0.05, 0.5, 1.0, -1}, true, 1.0, 0.05, 0.5, {}},
    {"Fall", {0.0, 0.0, 0.0, 0.0, 2048}, false, 0.0, 0.0, 0.0, {2048}},
};

class DacSweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(DacSweep, GivesTheCurvesFigures) {
  const SweepCase& c = GetParam();
  const DensityLinearity adc = AdcResult(c.curve.adc_bow);
  const std::vector<SweepPoint> points = Sweep(c.curve);
  const SweepLinearity sweep =
      AnalyseSweep(points, SweepScale{1e-3, 1e-3}, c.take_adc_out ? &adc : nullptr);
  ASSERT_TRUE(sweep.problem.empty()) << sweep.problem;
  EXPECT_EQ(sweep.adc_taken_out, c.take_adc_out);
  EXPECT_EQ(sweep.falls, c.falls);
  EXPECT_EQ(sweep.Monotonic(), c.falls.empty());
  if (!c.falls.empty()) {
    EXPECT_EQ(sweep.worst_dnl_code, c.falls.front());
    EXPECT_NEAR(sweep.worst_dnl, -1.0 / 8.0 - 1.0, 0.01);
    return;
  }
  EXPECT_NEAR(sweep.endpoint_offset_lsb, c.offset, 0.01);
  EXPECT_NEAR(sweep.endpoint_gain_percent, c.gain, 1e-3);
  // Noiseless means stand for a third of an LSB of noise, which the ADC's
  // bow is taken out under.
  EXPECT_NEAR(sweep.inl_endpoint[256], c.mid_inl, 0.02);  // code 2048
  EXPECT_NEAR(sweep.worst_inl, c.mid_inl, 0.02);
  // The best-fit line sits 2/3 of a bow up, and follows the offset and gain.
  EXPECT_NEAR(sweep.fit_offset_lsb, c.offset + 2.0 / 3.0 * c.mid_inl, 0.02);
  EXPECT_NEAR(sweep.fit_gain_percent, c.gain, 1e-3);
  EXPECT_NEAR(sweep.inl_fit[256], c.mid_inl / 3.0, 0.02);
}

INSTANTIATE_TEST_SUITE_P(Curves, DacSweep, ::testing::ValuesIn(kCases),
                         [](const auto& named) { return std::string(named.param.name); });

TEST(DacSweepProblems, CurvesWithoutFiguresAreSaidSo) {
  const std::vector<SweepPoint> one = {{5, 5.0, 0.0, 1}};
  const std::vector<SweepPoint> falling = {{5, 5.0, 0.0, 1}, {6, 4.0, 0.0, 1}};
  const std::vector<SweepPoint> unordered = {{6, 5.0, 0.0, 1}, {5, 6.0, 0.0, 1}};
  EXPECT_EQ(AnalyseSweep(one, {1.0, 1.0}, nullptr).problem, "a sweep needs at least two codes");
  EXPECT_EQ(AnalyseSweep(falling, {1.0, 1.0}, nullptr).problem,
            "the output does not rise from the first code to the last");
  EXPECT_EQ(AnalyseSweep(unordered, {1.0, 1.0}, nullptr).problem, "the sweep's codes must rise");
}

}  // namespace
}  // namespace kx::linearity
