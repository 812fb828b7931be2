#include "scpi/log_rate.h"

#include <algorithm>

namespace kx::scpi {

std::optional<std::string> LogRate::Pass(const std::string& line, Clock::time_point now) {
  if (last_) {
    const std::chrono::duration<double> since = now - *last_;
    tokens_ = std::min(kBurst, tokens_ + since.count() * kPerSecond);
  }
  last_ = now;
  if (tokens_ < 1) {
    ++held_back_;
    return std::nullopt;
  }
  tokens_ -= 1;
  if (held_back_ == 0) {
    return line;
  }
  const std::string counted =
      line + " (" + std::to_string(held_back_) + " more of this client's lines were not logged)";
  held_back_ = 0;
  return counted;
}

}  // namespace kx::scpi
