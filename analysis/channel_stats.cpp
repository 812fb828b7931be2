#include "analysis/channel_stats.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace kx::analysis {

ChannelStats Statistics(std::span<const double> values, std::span<const double> volts) {
  ChannelStats stats;
  if (values.empty()) {
    return stats;
  }
  const auto n = static_cast<double>(values.size());
  double sum = 0.0;
  for (const double v : values) {
    sum += v;
  }
  stats.mean_code = sum / n;
  // Two passes: the codes sit far from zero and differ by a few LSB, where
  // the one-pass formula loses the difference to rounding.
  double squares = 0.0;
  for (const double v : values) {
    squares += (v - stats.mean_code) * (v - stats.mean_code);
  }
  stats.std_dev_lsb = std::sqrt(squares / n);
  const auto [lowest, highest] = std::minmax_element(values.begin(), values.end());
  stats.min_code = static_cast<std::int32_t>(std::lround(*lowest));
  stats.max_code = static_cast<std::int32_t>(std::lround(*highest));
  stats.peak_to_peak = stats.max_code - stats.min_code;
  double volt_sum = 0.0;
  for (const double v : volts) {
    volt_sum += v;
  }
  stats.mean_volts = volts.empty() ? 0.0 : volt_sum / static_cast<double>(volts.size());
  return stats;
}

CodeHistogram Histogram(std::span<const double> values) {
  CodeHistogram histogram;
  if (values.empty()) {
    return histogram;
  }
  const auto [lowest, highest] = std::minmax_element(values.begin(), values.end());
  histogram.first_code = static_cast<std::int32_t>(std::lround(*lowest));
  const auto last = static_cast<std::int32_t>(std::lround(*highest));
  const std::int32_t width = last - histogram.first_code + 1;
  histogram.counts.assign(static_cast<std::size_t>(width), 0);
  for (const double v : values) {
    ++histogram.counts[static_cast<std::size_t>(std::lround(v) - histogram.first_code)];
  }
  return histogram;
}

}  // namespace kx::analysis
