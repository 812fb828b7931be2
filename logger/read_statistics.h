#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "logger/log_format.h"

namespace kx::logger {

// The running mean, extremes and standard deviation of each channel over
// the reads of one row. The deviation is the sample one (divided by N - 1),
// as an instrument's statistics give it; one read has none (0).
class ReadStatistics {
 public:
  explicit ReadStatistics(std::size_t channels) : channels_(channels) {}

  // One read: a value per channel, on the SignedCode line.
  void Add(std::span<const std::int32_t> values);
  void Clear();
  int Count() const { return count_; }
  std::vector<ChannelFigures> Figures() const;

 private:
  struct Running {
    double mean = 0.0;
    double squares = 0.0;  // sum of squared differences from the mean (Welford)
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
  };
  std::vector<Running> channels_;
  int count_ = 0;
};

}  // namespace kx::logger
