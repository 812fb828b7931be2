#include "analysis/log_trace.h"

#include <algorithm>
#include <utility>

namespace kx::analysis {
namespace {

class Tracer {
 public:
  // `run`: the run the rows go on with.
  Tracer(const LogData& log, std::size_t column, bool volts, LogTrace& trace, TraceRun run = {})
      : log_(log),
        column_(log.columns[column]),
        index_(column),
        volts_(volts),
        trace_(trace),
        run_(std::move(run)) {}

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
    const double shown = volts_ ? log_.ValueVolts(value, index_) : value;
    points.push_back({log_.seconds[row], shown, row});
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

// The stretch of rows a trace covers: one beyond each end of [from, to]
// seconds, and the rows per bucket.
struct Stretch {
  std::size_t first = 0;
  std::size_t last = 0;
  std::size_t size = 1;
};

Stretch StretchOf(const std::vector<double>& seconds, std::size_t rows, double from, double to,
                  std::size_t buckets) {
  const auto end = seconds.begin() + static_cast<std::ptrdiff_t>(rows);
  const auto before = std::lower_bound(seconds.begin(), end, from);
  const auto after = std::upper_bound(seconds.begin(), end, to);
  Stretch stretch;
  stretch.first =
      static_cast<std::size_t>(std::max<std::ptrdiff_t>(before - seconds.begin() - 1, 0));
  stretch.last = std::min(static_cast<std::size_t>(after - seconds.begin()) + 1, rows);
  const std::size_t count = stretch.last > stretch.first ? stretch.last - stretch.first : 0;
  if (count > 2 * std::max<std::size_t>(buckets, 1)) {
    while ((count + stretch.size - 1) / stretch.size > buckets) {
      stretch.size *= 2;
    }
  }
  return stretch;
}

// Rows [a, last) onto the tracer in buckets of `size`.
void TraceRows(const LogData& log, Tracer& tracer, std::size_t a, std::size_t last,
               std::size_t size) {
  const auto gap_at = [&log](std::size_t row) {
    return std::lower_bound(log.gaps.begin(), log.gaps.end(), row,
                            [](const LogGap& gap, std::size_t r) { return gap.row < r; });
  };
  auto gap = gap_at(a);
  // Buckets start at multiples of their size, which the levels hold whole.
  while (a < last) {
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
}

// The points of rows from `row` on taken off.
void CutFrom(std::vector<TracePoint>& points, std::size_t row) {
  const auto cut = std::find_if(points.begin(), points.end(),
                                [row](const TracePoint& p) { return p.row >= row; });
  points.erase(cut, points.end());
}

}  // namespace

LogTrace TraceColumn(const LogData& log, std::size_t column, bool volts, double from, double to,
                     std::size_t buckets) {
  LogTrace trace;
  trace.rows = log.Rows();
  if (log.seconds.empty() || column >= log.columns.size()) {
    return trace;
  }
  const Stretch stretch = StretchOf(log.seconds, log.Rows(), from, to, buckets);
  if (stretch.first >= stretch.last) {
    return trace;
  }
  trace.rows_per_bucket = stretch.size;
  Tracer tracer(log, column, volts, trace);
  TraceRows(log, tracer, stretch.first, stretch.last, stretch.size);
  return trace;
}

bool ExtendTrace(const LogData& log, std::size_t column, bool volts, double from, double to,
                 std::size_t buckets, LogTrace& trace) {
  if (trace.rows == 0 || trace.rows > log.Rows() || column >= log.columns.size()) {
    return false;
  }
  const Stretch before = StretchOf(log.seconds, trace.rows, from, to, buckets);
  const Stretch now = StretchOf(log.seconds, log.Rows(), from, to, buckets);
  if (before.first != now.first || before.first >= before.last || before.size != now.size ||
      before.size != trace.rows_per_bucket) {
    return false;
  }
  if (before.last == now.last) {
    trace.rows = log.Rows();
    return true;  // the new rows are past the stretch
  }
  // The last bucket drawn had only some of its rows: drawn again from its
  // start, with the rows after it. What lies before it stays as it was.
  const std::size_t start = std::max(before.first, (before.last - 1) / now.size * now.size);
  TraceRun run;
  while (!trace.runs.empty()) {
    run = std::move(trace.runs.back());
    trace.runs.pop_back();
    CutFrom(run.line, start);
    CutFrom(run.lower, start);
    CutFrom(run.upper, start);
    if (!run.line.empty()) {
      break;
    }
  }
  // A gap row after the run's last point ended it: the rows go on in a
  // new one.
  if (!run.line.empty()) {
    const std::size_t after = run.line.back().row + 1;
    const auto gap = std::lower_bound(log.gaps.begin(), log.gaps.end(), after,
                                      [](const LogGap& g, std::size_t r) { return g.row < r; });
    if (gap != log.gaps.end() && gap->row < start) {
      trace.runs.push_back(std::move(run));
      run = {};
    }
  }
  // The extremes only widen: the bucket drawn again holds the rows it had.
  trace.rows = log.Rows();
  Tracer tracer(log, column, volts, trace, std::move(run));
  TraceRows(log, tracer, start, now.last, now.size);
  return true;
}

}  // namespace kx::analysis
