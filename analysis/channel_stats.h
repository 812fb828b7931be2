#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kx::analysis {

// The statistics table's row of one channel. Codes are taken on a line
// (SignedCode), so the figures of a two's-complement channel near mid-scale
// are not torn apart by the wrap.
struct ChannelStats {
  double mean_code = 0.0;
  double std_dev_lsb = 0.0;  // population standard deviation
  std::int32_t min_code = 0;
  std::int32_t max_code = 0;
  std::int32_t peak_to_peak = 0;
  double mean_volts = 0.0;
};

ChannelStats Statistics(std::span<const double> values, std::span<const double> volts);

// How often each code occurs, from the lowest to the highest one present
// (codes in between that never occur count 0).
struct CodeHistogram {
  std::int32_t first_code = 0;
  std::vector<int> counts;
};

CodeHistogram Histogram(std::span<const double> values);

}  // namespace kx::analysis
