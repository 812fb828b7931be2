#include "analysis/linearity/code_density.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace kx::linearity {
namespace {

// An ADC whose code for an input x is x * (1 + gain) + offset + a bow, with
// some codes missing; the histogram a sine or a ramp gives it, in exact
// shares of a large count.
struct Converter {
  double offset = 0.0;
  double gain_percent = 0.0;
  double bow = 0.0;
  std::vector<int> missing;
};

double Bow(double bow, double code) {
  const double x = code / (kCodes - 1);
  return bow * 4.0 * x * (1.0 - x);
}

std::vector<std::uint64_t> Histogram(const Converter& adc, DensityMethod method,
                                     AppliedInput input) {
  const auto share_below = [&](double x) {
    const double u = std::clamp((x - input.centre_codes) / input.amplitude_codes, -1.0, 1.0);
    return method == DensityMethod::Sine ? 0.5 + std::asin(u) / std::numbers::pi : (u + 1.0) / 2.0;
  };
  std::vector<double> edges(kCodes + 1, 0.0);
  const double gain = 1.0 + adc.gain_percent / 100.0;
  for (int code = 1; code < kCodes; ++code) {
    edges[code] = (code - 0.5 - adc.offset - Bow(adc.bow, code - 0.5)) / gain;
  }
  for (const int code : adc.missing) {
    edges[code + 1] = edges[code];
  }
  edges[0] = -1e9;
  edges[kCodes] = 1e9;
  constexpr double kSamples = 1e12;
  std::vector<std::uint64_t> counts(kCodes);
  for (int code = 0; code < kCodes; ++code) {
    counts[code] = static_cast<std::uint64_t>(
        std::llround(kSamples * (share_below(edges[code + 1]) - share_below(edges[code]))));
  }
  return counts;
}

struct DensityCase {
  const char* name;
  DensityMethod method;
  Converter adc;
  double worst_dnl;  // its magnitude
  double mid_inl;
};

const DensityCase kCases[] = {
    {"IdealSine", DensityMethod::Sine, {}, 0.0, 0.0},
    {"IdealRamp", DensityMethod::Ramp, {}, 0.0, 0.0},
    {"SineThroughOffsetAndGain", DensityMethod::Sine, {3.0, 0.2, 0.0, {}}, 0.0, 0.0},
    {"SineThroughABow", DensityMethod::Sine, {0.0, 0.0, 2.0, {}}, 0.0, 2.0},
    {"RampThroughABow", DensityMethod::Ramp, {-1.0, -0.1, -1.5, {}}, 0.0, -1.5},
    {"MissingCodes", DensityMethod::Sine, {0.0, 0.0, 0.0, {700, 2049}}, 1.0, 0.0},
};

class CodeDensity : public ::testing::TestWithParam<DensityCase> {};

TEST_P(CodeDensity, RecoversTheConverter) {
  const DensityCase& c = GetParam();
  // A sine or ramp a little beyond both ends, centred slightly off.
  const AppliedInput input{2047.0, 2090.0};
  const DensityLinearity result =
      AnalyseCodeDensity(Histogram(c.adc, c.method, input), c.method, input);
  ASSERT_EQ(result.problem, DensityProblem::None) << result.reason;
  EXPECT_EQ(result.missing_codes, c.adc.missing);
  // A bow of 2 LSB tilts the widths by up to 8/4095 LSB; a missing code
  // gives its width to the code above.
  EXPECT_NEAR(std::abs(result.worst_dnl), c.worst_dnl, 3e-3);
  EXPECT_NEAR(result.inl[kCodes / 2], c.mid_inl, 0.01);
  EXPECT_NEAR(std::abs(result.worst_inl), std::abs(c.mid_inl) + (c.adc.missing.empty() ? 0 : 0.5),
              0.01);
  ASSERT_TRUE(result.offset_lsb && result.gain_percent);
  // The fitted line takes a bow's mean over the codes, 2/3 of its height,
  // as offset.
  EXPECT_NEAR(*result.gain_percent, c.adc.gain_percent, 1e-3);
  EXPECT_NEAR(*result.offset_lsb, c.adc.offset + 2.0 / 3.0 * c.adc.bow, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Histograms, CodeDensity, ::testing::ValuesIn(kCases),
                         [](const auto& named) { return std::string(named.param.name); });

TEST(CodeDensityProblems, InputsThatCannotBeJudgedAreSaidSo) {
  struct Case {
    AppliedInput input;
    double scale;
    DensityProblem problem;
    const char* reason;
  };
  const Case cases[] = {
      {{2047.5, 2100.0},
       1e-9,
       DensityProblem::TooFewSamples,
       "1000 samples are too few: at least 4096 are needed"},
      {{2047.5, 1500.0},
       1.0,
       DensityProblem::NotCovering,
       "the input covers codes 548 to 3547 only, not 0 to 4095: it must go a little beyond both "
       "ends of the range"},
      {{2047.5, 4000.0},
       1.0,
       DensityProblem::Clipping,
       "the input clips: 66% of the samples are at the end codes 0 and 4095; lower its "
       "amplitude"},
  };
  for (const Case& c : cases) {
    std::vector<std::uint64_t> counts = Histogram({}, DensityMethod::Sine, c.input);
    if (c.scale < 1.0) {
      std::fill(counts.begin(), counts.end(), 0);
      counts[0] = counts[4095] = 500;
    }
    const DensityLinearity result = AnalyseCodeDensity(counts, DensityMethod::Sine);
    EXPECT_EQ(result.problem, c.problem);
    EXPECT_EQ(result.reason, c.reason);
    EXPECT_TRUE(result.dnl.empty());
  }
}

}  // namespace
}  // namespace kx::linearity
