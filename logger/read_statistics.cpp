#include "logger/read_statistics.h"

#include <algorithm>
#include <cmath>

namespace kx::logger {

void ReadStatistics::Add(std::span<const std::int32_t> values) {
  ++count_;
  const std::size_t count = std::min(values.size(), channels_.size());
  for (std::size_t i = 0; i < count; ++i) {
    Running& r = channels_[i];
    const std::int32_t value = values[i];
    if (count_ == 1) {
      r = Running{static_cast<double>(value), 0.0, value, value};
      continue;
    }
    // Welford's update keeps the deviation exact over long sums of close
    // values, where sum-of-squares cancels.
    const double delta = value - r.mean;
    r.mean += delta / count_;
    r.squares += delta * (value - r.mean);
    r.minimum = std::min(r.minimum, value);
    r.maximum = std::max(r.maximum, value);
  }
}

void ReadStatistics::Clear() {
  count_ = 0;
}

std::vector<ChannelFigures> ReadStatistics::Figures() const {
  std::vector<ChannelFigures> figures;
  figures.reserve(channels_.size());
  for (const Running& r : channels_) {
    const double deviation = count_ > 1 ? std::sqrt(r.squares / (count_ - 1)) : 0.0;
    figures.push_back({r.mean, r.minimum, r.maximum, deviation});
  }
  return figures;
}

}  // namespace kx::logger
