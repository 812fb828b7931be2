#include "analysis/log_trace.h"

#include <algorithm>

namespace kx::analysis {
namespace {

class Tracer {
 public:
  Tracer(const LogData& log, std::size_t column, bool volts, LogTrace& trace)
      : log_(log), column_(log.columns[column]), index_(column), volts_(volts), trace_(trace) {}

  // Rows [a, b), the good ones among them, onto the current run.
  void Add(std::size_t a, std::size_t b) {
    if (a >= b) {
      return;
    }
    const bool averaged = log_.layout.Averaged();
    if (b == a + 1) {
      if (log_.Gap(a)) {
        return;
      }
      const LogFigures f = log_.Codes(a, index_);
      Point(run_.line, a, f.mean);
      if (averaged) {
        Point(run_.lower, a, f.minimum);
        Point(run_.upper, a, f.maximum);
      }
      return;
    }
    if (averaged) {
      const auto means = column_.mean_levels.Over(column_.means, column_.means, a, b);
      if (means.Empty()) {
        return;
      }
      Pair(means.low_row, means.low, means.high_row, means.high);
      const auto band = column_.code_levels.Over(column_.codes, column_.maxima, a, b);
      Point(run_.lower, band.low_row, band.low);
      Point(run_.upper, band.high_row, band.high);
      return;
    }
    const auto codes = column_.code_levels.Over(column_.codes, column_.codes, a, b);
    if (!codes.Empty()) {
      Pair(codes.low_row, codes.low, codes.high_row, codes.high);
    }
  }

  void EndRun() {
    if (!run_.line.empty()) {
      trace_.runs.push_back(std::move(run_));
    }
    run_ = {};
  }

 private:
  // The lowest and the highest row in their own order; one point if the
  // same row holds both.
  void Pair(std::size_t low_row, double low, std::size_t high_row, double high) {
    if (low_row == high_row) {
      Point(run_.line, low_row, low);
    } else if (low_row < high_row) {
      Point(run_.line, low_row, low);
      Point(run_.line, high_row, high);
    } else {
      Point(run_.line, high_row, high);
      Point(run_.line, low_row, low);
    }
  }

  void Point(std::vector<TracePoint>& points, std::size_t row, double value) {
    const double shown = volts_ ? log_.ValueVolts(value) : value;
    points.push_back({log_.seconds[row], shown});
    trace_.low = trace_.any ? std::min(trace_.low, shown) : shown;
    trace_.high = trace_.any ? std::max(trace_.high, shown) : shown;
    trace_.any = true;
  }

  const LogData& log_;
  const LogColumn& column_;
  std::size_t index_;
  bool volts_;
  LogTrace& trace_;
  TraceRun run_;
};

}  // namespace

LogTrace TraceColumn(const LogData& log, std::size_t column, bool volts, double from, double to,
                     std::size_t buckets) {
  LogTrace trace;
  const std::vector<double>& seconds = log.seconds;
  if (seconds.empty() || column >= log.columns.size()) {
    return trace;
  }
  const auto before = std::lower_bound(seconds.begin(), seconds.end(), from);
  const auto after = std::upper_bound(seconds.begin(), seconds.end(), to);
  const std::size_t first =
      static_cast<std::size_t>(std::max<std::ptrdiff_t>(before - seconds.begin() - 1, 0));
  const std::size_t last =
      std::min(static_cast<std::size_t>(after - seconds.begin()) + 1, seconds.size());
  if (first >= last) {
    return trace;
  }
  const std::size_t count = last - first;
  std::size_t size = 1;
  if (count > 2 * std::max<std::size_t>(buckets, 1)) {
    while ((count + size - 1) / size > buckets) {
      size *= 2;
    }
  }
  trace.rows_per_bucket = size;
  Tracer tracer(log, column, volts, trace);
  const auto gap_at = [&log](std::size_t row) {
    return std::lower_bound(log.gaps.begin(), log.gaps.end(), row,
                            [](const LogGap& gap, std::size_t r) { return gap.row < r; });
  };
  auto gap = gap_at(first);
  // Buckets start at multiples of their size, which the levels hold whole.
  for (std::size_t a = first; a < last;) {
    const std::size_t b = std::min((a / size + 1) * size, last);
    if (gap == log.gaps.end() || gap->row >= b) {
      tracer.Add(a, b);
    } else {
      // The part before the first gap ends its run; what lies between the
      // first and the last gap of the bucket is a run of its own; the part
      // after the last gap starts the next.
      const std::size_t first_gap = gap->row;
      gap = gap_at(b);
      const std::size_t last_gap = std::prev(gap)->row;
      tracer.Add(a, first_gap);
      tracer.EndRun();
      if (last_gap > first_gap) {
        tracer.Add(first_gap + 1, last_gap);
        tracer.EndRun();
      }
      tracer.Add(last_gap + 1, b);
    }
    a = b;
  }
  tracer.EndRun();
  return trace;
}

}  // namespace kx::analysis
