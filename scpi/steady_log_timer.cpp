#include "scpi/steady_log_timer.h"

#include <utility>

namespace kx::scpi {

void SteadyLogTimer::At(std::chrono::steady_clock::time_point due, std::function<void()> task) {
  const unsigned long long call = ++asked_;
  timer_.expires_at(due);
  timer_.async_wait([this, call, task = std::move(task)](const asio::error_code& error) {
    if (!error && call == asked_) {
      task();
    }
  });
}

void SteadyLogTimer::Cancel() {
  ++asked_;
  timer_.cancel();
}

}  // namespace kx::scpi
