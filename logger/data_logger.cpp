#include "logger/data_logger.h"

#include <fmt/format.h>

#include <utility>
#include <vector>

#include "adc/adc_display.h"

namespace kx::logger {
namespace {

double Seconds(std::chrono::nanoseconds time) {
  return std::chrono::duration<double>(time).count();
}

}  // namespace

DataLogger::DataLogger(LogLayout layout, LogPlan plan, AdcSource& source, LogSink& sink,
                       LogClock& clock)
    : layout_(std::move(layout)),
      plan_(plan),
      source_(source),
      sink_(sink),
      clock_(clock),
      statistics_(layout_.channels.size()) {
  layout_.interval_seconds = Seconds(plan_.interval);
}

std::optional<std::string> DataLogger::Begin() {
  start_ = clock_.Now();
  wall_start_ = clock_.WallNow();
  layout_.started = IsoMicroseconds(wall_start_);
  file_error_ = sink_.Append(HeaderLine(layout_) + ColumnLine(layout_));
  return file_error_;
}

std::chrono::steady_clock::time_point DataLogger::Due(std::int64_t row) const {
  return start_ + row * plan_.interval;
}

std::chrono::steady_clock::time_point DataLogger::NextDue() const {
  return Due(next_row_);
}

bool DataLogger::Finished() const {
  return plan_.duration && NextDue() >= start_ + *plan_.duration;
}

DataLogger::Row DataLogger::TakeRow(const LogStop& stop) {
  const auto now = clock_.Now();
  const auto since_start = std::chrono::duration_cast<std::chrono::nanoseconds>(now - start_);
  // A row whose whole interval has passed is not read late: the current
  // interval's row is read instead.
  if (now >= Due(next_row_ + 1)) {
    const std::int64_t current = since_start / plan_.interval;
    progress_.missed += current - next_row_;
    next_row_ = current;
    if (Finished()) {
      return Row::PastTheEnd;
    }
  }

  LogRow row{
      wall_start_ + std::chrono::duration_cast<std::chrono::system_clock::duration>(since_start),
      since_start,
      std::nullopt,
      {}};
  if (in_gap_) {
    source_.Recover();
  }
  statistics_.Clear();
  std::string reason;
  std::vector<std::int32_t> values(layout_.channels.size());
  const bool straight_binary = layout_.straight_binary.value_or(true);
  for (int read = 0; read < layout_.average; ++read) {
    if (read > 0 && stop && stop()) {
      return Row::Stopped;
    }
    const SourceRead got = source_.Read();
    if (got.failed_status) {
      row.gap_status = got.failed_status;
      reason = got.reason;
      break;
    }
    for (std::size_t i = 0; i < layout_.channels.size(); ++i) {
      values[i] = adc::SignedCode(got.codes[static_cast<std::size_t>(layout_.channels[i])],
                                  straight_binary);
    }
    statistics_.Add(values);
  }
  if (!row.gap_status) {
    row.figures = statistics_.Figures();
  }

  if (file_error_ = sink_.Append(RowLine(layout_, row)); file_error_) {
    return Row::FileFailed;
  }
  ++next_row_;
  ++progress_.rows;
  progress_.elapsed = since_start;
  progress_.news.clear();
  if (row.gap_status) {
    ++progress_.gaps;
    ++gap_rows_now_;
    if (!in_gap_) {
      progress_.news = fmt::format("gap rows from {:.3f} s on: {}", Seconds(since_start), reason);
    }
  } else if (in_gap_) {
    progress_.news = fmt::format("the board answers again at {:.3f} s, after {} gap rows",
                                 Seconds(since_start), gap_rows_now_);
    gap_rows_now_ = 0;
  }
  in_gap_ = row.gap_status.has_value();
  return Row::Written;
}

LogSummary DataLogger::Run(const LogStop& stop, const LogReport& report) {
  LogSummary summary;
  if (Begin()) {
    summary.file_error = file_error_;
    return summary;
  }
  auto last_report = start_;
  while (!Finished()) {
    clock_.SleepUntil(NextDue(), stop);
    if (stop && stop()) {
      summary.stopped = true;
      break;
    }
    const Row row = TakeRow(stop);
    if (row == Row::FileFailed) {
      summary.file_error = file_error_;
      break;
    }
    if (row == Row::Stopped) {
      summary.stopped = true;
      break;
    }
    if (row == Row::PastTheEnd) {
      break;
    }
    const auto now = clock_.Now();
    const bool due = now - last_report >= plan_.progress_every;
    if (report && (due || !progress_.news.empty())) {
      report(progress_);
    }
    if (due) {
      last_report = now;
    }
  }
  // A run of a set length lasts that long, also after its last row.
  if (plan_.duration && !summary.stopped && !summary.file_error) {
    clock_.SleepUntil(start_ + *plan_.duration, stop);
    summary.stopped = stop && stop();
  }
  progress_.news.clear();
  progress_.elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(clock_.Now() - start_);
  summary.progress = progress_;
  return summary;
}

}  // namespace kx::logger
