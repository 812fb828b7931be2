#include "analysis/channel_stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/capture_scale.h"

namespace kx::analysis {
namespace {

TEST(ChannelStats, FiguresOfKnownSamples) {
  struct Case {
    const char* name;
    std::vector<double> values;
    double mean;
    double std_dev;
    int min;
    int max;
  };
  const Case cases[] = {
      {"constant", std::vector<double>(512, 1234.0), 1234.0, 0.0, 1234, 1234},
      {"one to four", {1, 2, 3, 4}, 2.5, std::sqrt(1.25), 1, 4},
      {"two codes far from zero", {4094, 4095, 4094, 4095}, 4094.5, 0.5, 4094, 4095},
      {"around mid-scale of two's complement", {-1, 1, -1, 1}, 0.0, 1.0, -1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<double> volts(c.values.size(), 0.5);
    const ChannelStats stats = Statistics(c.values, volts);
    EXPECT_DOUBLE_EQ(stats.mean_code, c.mean);
    EXPECT_NEAR(stats.std_dev_lsb, c.std_dev, 1e-12);
    EXPECT_EQ(stats.min_code, c.min);
    EXPECT_EQ(stats.max_code, c.max);
    EXPECT_EQ(stats.peak_to_peak, c.max - c.min);
    EXPECT_DOUBLE_EQ(stats.mean_volts, 0.5);
  }
}

TEST(ChannelStats, HistogramCountsEveryCodeBetweenTheExtremes) {
  const CodeHistogram constant = Histogram(std::vector<double>(100, 777.0));
  EXPECT_EQ(constant.first_code, 777);
  EXPECT_EQ(constant.counts, std::vector<int>{100});

  const CodeHistogram spread = Histogram(std::vector<double>{-2, 1, 1, -2, -2, 0});
  EXPECT_EQ(spread.first_code, -2);
  EXPECT_EQ(spread.counts, (std::vector<int>{3, 0, 1, 2}));

  EXPECT_TRUE(Histogram(std::vector<double>{}).counts.empty());
}

TEST(CaptureScale, BothCodingsGiveTheSameVoltsForTheSameInput) {
  // What a converter gives for an input: straight binary round(v / span *
  // 4096), two's complement the same with the top bit turned over.
  for (const bool half_span : {false, true}) {
    for (const double reference : {2.5, 2.048, 1.25}) {
      const double span = half_span ? reference : 2 * reference;
      for (const double fraction : {0.0, 0.1, 0.4999, 0.5, 0.75, 0.9997}) {
        const double volts = fraction * span;
        const auto straight = static_cast<std::int32_t>(std::lround(volts / span * 4096.0));
        const std::int32_t twos = straight ^ 0x800;
        CaptureScale binary{AdcWordRules::Version2, half_span, true, reference, {}};
        CaptureScale complement{AdcWordRules::Version2, half_span, false, reference, {}};
        SCOPED_TRACE(::testing::Message() << half_span << " " << reference << " " << volts);
        EXPECT_NEAR(CodeVolts(straight, binary), CodeVolts(twos, complement), 1e-6);
        EXPECT_NEAR(CodeVolts(twos, complement), volts, span / 4096.0 / 2.0 + 1e-6);
        // On a line the two differ by mid-scale and nothing else.
        EXPECT_EQ(SignedCode(straight, true) - 2048, SignedCode(twos, false));
      }
    }
  }
}

}  // namespace
}  // namespace kx::analysis
