#pragma once

#include <chrono>
#include <functional>

namespace kx::logger {

// Asked while the logger waits and between reads: true ends the run.
using LogStop = std::function<bool()>;

// The time the logger's schedule runs on: a monotonic clock for the rows'
// due times (no drift over hours, whatever the wall clock does), the wall
// clock once at the start for the timestamps, and a wait that a stop cuts
// short. The tests give it a fake one that moves only when told.
class LogClock {
 public:
  virtual ~LogClock() = default;
  virtual std::chrono::steady_clock::time_point Now() = 0;
  virtual std::chrono::system_clock::time_point WallNow() = 0;
  // Returns at `due` or soon after a stop is asked for.
  virtual void SleepUntil(std::chrono::steady_clock::time_point due, const LogStop& stop) = 0;
};

// The machine's clocks. The wait asks the stop at least every 50 ms, so a
// signal's flag ends it promptly.
class SystemLogClock final : public LogClock {
 public:
  std::chrono::steady_clock::time_point Now() override;
  std::chrono::system_clock::time_point WallNow() override;
  void SleepUntil(std::chrono::steady_clock::time_point due, const LogStop& stop) override;
};

}  // namespace kx::logger
