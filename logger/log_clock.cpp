#include "logger/log_clock.h"

#include <algorithm>
#include <thread>

namespace kx::logger {

namespace {
constexpr std::chrono::milliseconds StopLatency{50};
}  // namespace

std::chrono::steady_clock::time_point SystemLogClock::Now() {
  return std::chrono::steady_clock::now();
}

std::chrono::system_clock::time_point SystemLogClock::WallNow() {
  return std::chrono::system_clock::now();
}

void SystemLogClock::SleepUntil(std::chrono::steady_clock::time_point due, const LogStop& stop) {
  while (!(stop && stop())) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= due) {
      return;
    }
    std::this_thread::sleep_until(std::min(due, now + StopLatency));
  }
}

}  // namespace kx::logger
