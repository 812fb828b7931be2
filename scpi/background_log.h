#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "commands/command.h"
#include "logger/data_logger.h"
#include "logger/log_clock.h"
#include "logger/log_file.h"

namespace kx::commands {
class Session;
class LogSource;
}  // namespace kx::commands

namespace kx::scpi {

// Wakes the log for its next row on the thread that carries out the
// commands, so that a row's reads never run beside a client's command.
class LogTimer {
 public:
  virtual ~LogTimer() = default;
  // Calls `task` once at `due` (at once when `due` has passed), replacing a
  // call still pending.
  virtual void At(std::chrono::steady_clock::time_point due, std::function<void()> task) = 0;
  virtual void Cancel() = 0;
};

// What LOG:STATe? reports: the running log's figures, or the latest one's.
struct LogState {
  bool running = false;
  std::int64_t rows = 0;
  std::int64_t gaps = 0;
  std::int64_t missed = 0;
  std::chrono::nanoseconds elapsed{};
  std::string file;
  // Why the latest log ended before its time: its file could not be
  // written. Empty otherwise.
  std::string failure;
};

// `adc log` in the background of a server: the data logger's step API,
// one row each time the timer wakes it, on the session the commands use.
class BackgroundLog {
 public:
  using Note = std::function<void(const std::string& line)>;
  // Told when the file fails during the run, which ends the log.
  using Failed = std::function<void(const std::string& reason)>;

  BackgroundLog(LogTimer& timer, logger::LogClock& clock, Note note);
  ~BackgroundLog();
  BackgroundLog(const BackgroundLog&) = delete;
  BackgroundLog& operator=(const BackgroundLog&) = delete;

  // Writes the first lines to `file` (opened for `log.file`) and schedules
  // the first row. The reason when the file could not be written; nothing
  // runs then. `session` must outlive the log (Stop it before replacing it).
  std::optional<std::string> Start(commands::Session& session, const commands::AdcLog& log,
                                   std::unique_ptr<logger::LogFile> file, Failed failed);
  // Ends a running log with its file complete and closed.
  void Stop();

  bool Running() const { return logger_ != nullptr; }
  LogState State() const;

 private:
  void Schedule();
  void Row();
  void End(std::optional<std::string> failure);

  LogTimer& timer_;
  logger::LogClock& clock_;
  Note note_;
  Failed failed_;
  std::unique_ptr<logger::LogFile> file_;
  std::unique_ptr<commands::LogSource> source_;
  std::unique_ptr<logger::DataLogger> logger_;
  std::chrono::steady_clock::time_point start_{};
  LogState last_;
};

}  // namespace kx::scpi
