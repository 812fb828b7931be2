#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "adc/adc_control_word.h"
#include "logger/log_clock.h"
#include "logger/log_file.h"
#include "logger/log_format.h"
#include "logger/read_statistics.h"

namespace kx::logger {

// What one "Read ADC" gave: AdcResults, or the failing status and a line
// that says why.
struct SourceRead {
  std::array<std::int32_t, adc::AdcChannels> codes{};
  std::optional<std::int16_t> failed_status;
  std::string reason;
};

// The board as the logger sees it. The front end reads through its own
// session, so the words on the wire are the panel's own.
class AdcSource {
 public:
  virtual ~AdcSource() = default;
  virtual SourceRead Read() = 0;
  // Called before the first read after a failed one: bring the board back
  // (load its firmware again, send the configuration again) if it can be.
  virtual void Recover() {}
};

struct LogPlan {
  std::chrono::nanoseconds interval{std::chrono::seconds(1)};
  // None: until stopped. Rows are due while their time is before the end,
  // and the run lasts until the end.
  std::optional<std::chrono::nanoseconds> duration;
  // How often the periodic progress report falls due.
  std::chrono::nanoseconds progress_every{std::chrono::seconds(10)};
};

struct LogProgress {
  std::int64_t rows = 0;    // every row written, gap rows included
  std::int64_t gaps = 0;    // gap rows
  std::int64_t missed = 0;  // rows whose whole interval passed before they could be read
  std::chrono::nanoseconds elapsed{};
  // Empty for a periodic report; otherwise a gap began or the board came
  // back.
  std::string news;
};

struct LogSummary {
  LogProgress progress;
  bool stopped = false;                   // by the stop, not by the end of the plan
  std::optional<std::string> file_error;  // the file could not be written: the run ended there
};

using LogReport = std::function<void(const LogProgress&)>;

// Reads the layout's channels once per interval and appends one row per
// read (or the statistics of `average` reads) to the sink. Row n is due at
// start + n * interval on the clock's monotonic time, however long the
// reads took; a row whose whole interval has passed is counted as missed
// rather than read late. A failed read writes a gap row and the next one
// tries again at its own time.
//
// Run() is the whole loop; a front end with its own timers calls Begin(),
// then TakeRow() whenever NextDue() has come, until Finished().
class DataLogger {
 public:
  DataLogger(LogLayout layout, LogPlan plan, AdcSource& source, LogSink& sink, LogClock& clock);

  LogSummary Run(const LogStop& stop, const LogReport& report = {});

  // Takes the start time and writes the comment line and the header row.
  std::optional<std::string> Begin();
  std::chrono::steady_clock::time_point NextDue() const;
  bool Finished() const;
  enum class Row { Written, Stopped, FileFailed, PastTheEnd };
  // The row of the current interval, read now. A stop asked between the
  // reads of an averaged row drops that row. PastTheEnd: the run's time
  // ran out while the last row was read, and nothing more is read.
  Row TakeRow(const LogStop& stop);

  const LogLayout& Layout() const { return layout_; }
  const LogProgress& Progress() const { return progress_; }
  // Why the last TakeRow could not write its row.
  const std::optional<std::string>& FileError() const { return file_error_; }

 private:
  std::chrono::steady_clock::time_point Due(std::int64_t row) const;

  LogLayout layout_;
  LogPlan plan_;
  AdcSource& source_;
  LogSink& sink_;
  LogClock& clock_;
  ReadStatistics statistics_;
  std::chrono::steady_clock::time_point start_{};
  std::chrono::system_clock::time_point wall_start_{};
  std::int64_t next_row_ = 0;
  bool in_gap_ = false;
  std::int64_t gap_rows_now_ = 0;  // of the gap going on
  LogProgress progress_;
  std::optional<std::string> file_error_;
};

}  // namespace kx::logger
