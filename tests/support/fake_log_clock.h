#pragma once

#include <chrono>
#include <functional>

#include "logger/log_clock.h"

namespace kx::testing {

// A clock that moves only when the logger waits (to the very moment it
// waits for) or when a test moves it, so that hours of logging take no time
// and every due time is met exactly. `on_move` hears the time since the
// start after every move: a test switches the board off and on there.
class FakeLogClock final : public logger::LogClock {
 public:
  using Steady = std::chrono::steady_clock;
  using Wall = std::chrono::system_clock;

  // 2026-12-08T00:00:00Z.
  static constexpr Wall::time_point WallOrigin{std::chrono::sys_days{std::chrono::year_month_day{
      std::chrono::year{2026}, std::chrono::month{12}, std::chrono::day{8}}}};

  Steady::time_point Now() override { return now_; }
  Wall::time_point WallNow() override {
    return WallOrigin + std::chrono::duration_cast<Wall::duration>(now_ - Origin);
  }
  void SleepUntil(Steady::time_point due, const logger::LogStop& stop) override {
    ++sleeps;
    if (stop && stop()) {
      return;
    }
    if (due > now_) {
      Move(due - now_);
    }
  }

  void Move(std::chrono::nanoseconds by) {
    now_ += by;
    if (on_move) {
      on_move(now_ - Origin);
    }
  }
  std::chrono::nanoseconds SinceOrigin() const { return now_ - Origin; }

  std::function<void(std::chrono::nanoseconds since_origin)> on_move;
  int sleeps = 0;

 private:
  static constexpr Steady::time_point Origin{std::chrono::hours(1000)};
  Steady::time_point now_ = Origin;
};

}  // namespace kx::testing
