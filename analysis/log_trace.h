#pragma once

#include <cstddef>
#include <vector>

#include "analysis/log_file.h"

namespace kx::analysis {

struct TracePoint {
  double seconds = 0.0;
  double value = 0.0;
  std::size_t row = 0;  // the row it shows
};

// A run of good rows, as drawn: the line, and for an averaged log the
// lower and upper edges of its band.
struct TraceRun {
  std::vector<TracePoint> line;
  std::vector<TracePoint> lower;
  std::vector<TracePoint> upper;
};

// What a plot draws of one column over a stretch of time: the runs between
// gap rows, and the lowest and highest value drawn (for the axis).
struct LogTrace {
  std::vector<TraceRun> runs;
  double low = 0.0;
  double high = 0.0;
  bool any = false;
  std::size_t rows_per_bucket = 1;  // 1: every row in view is drawn
  std::size_t rows = 0;             // the log's rows when it was drawn
};

// The rows from `from` to `to` seconds and one beyond each end (so that a
// line runs on to the edge). At most `2 * buckets` rows are drawn as they
// are; more are taken in buckets of 2^k rows, the fewest that give at most
// `buckets`, each drawn as its lowest and highest row in their own order
// (the band: each bucket's lowest minimum and highest maximum). A bucket
// read from the column's levels costs the same for ten rows or a million,
// so a draw follows the screen, not the log. A gap row ends a run at every
// bucket size.
LogTrace TraceColumn(const LogData& log, std::size_t column, bool volts, double from, double to,
                     std::size_t buckets);

// `trace`, drawn by TraceColumn with the same arguments from the same log
// before rows were appended, brought up to the log's rows as TraceColumn
// would draw it: only the buckets from the last one it had on are drawn
// again, so that a --follow update costs what the new rows cost. False,
// and the trace untouched, where the buckets would differ (draw afresh).
bool ExtendTrace(const LogData& log, std::size_t column, bool volts, double from, double to,
                 std::size_t buckets, LogTrace& trace);

}  // namespace kx::analysis
