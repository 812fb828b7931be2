#pragma once

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

#include "scpi/background_log.h"

namespace kx::scpi {

// The background log's timer on the server's io_context: each row runs as
// one more handler on its thread, between the lines of the clients.
class SteadyLogTimer final : public LogTimer {
 public:
  explicit SteadyLogTimer(asio::io_context& io) : timer_(io) {}

  void At(std::chrono::steady_clock::time_point due, std::function<void()> task) override;
  void Cancel() override;

 private:
  asio::steady_timer timer_;
  // Counts the calls asked for, so that a wait cancelled too late to be
  // stopped (its handler already queued) does nothing.
  unsigned long long asked_ = 0;
};

}  // namespace kx::scpi
