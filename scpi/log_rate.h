#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace kx::scpi {

// How many lines one client may put in the server's log: a burst of 20,
// then 5 a second. A client that sends nothing but mistakes must not fill
// the disk behind standard error; the lines held back are counted, and the
// count goes with the next line let through.
class LogRate {
 public:
  using Clock = std::chrono::steady_clock;

  // The line as it is to be logged, or none when it is held back.
  std::optional<std::string> Pass(const std::string& line, Clock::time_point now = Clock::now());
  std::size_t HeldBack() const { return held_back_; }

 private:
  static constexpr double kBurst = 20;
  static constexpr double kPerSecond = 5;
  double tokens_ = kBurst;
  std::optional<Clock::time_point> last_;
  std::size_t held_back_ = 0;
};

}  // namespace kx::scpi
