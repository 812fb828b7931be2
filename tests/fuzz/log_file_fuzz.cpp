// The data logger's files as kx7312-view reads them.
//
// Promises checked on every input:
//  - a log or a one-line reason that starts with "line ", never both;
//  - every column holds a value per row, a gap row a gap in every column and
//    nothing else holds one; codes stay within -2048 to 4095;
//  - the rows are no more than the whole lines, and the bytes read whole
//    and left for later make up the text;
//  - the levels give the extremes every row gives, and no drawn line runs
//    across a gap row, however few buckets are asked for.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "analysis/log_file.h"
#include "analysis/log_trace.h"
#include "fuzz_check.h"

namespace {

using kx::fuzz::Require;

void CheckColumns(const kx::analysis::LogData& log) {
  std::size_t gaps = 0;
  for (std::size_t row = 0; row < log.Rows(); ++row) {
    const bool gap = log.Gap(row);
    gaps += gap ? 1 : 0;
    Require(log.GapStatus(row).has_value() == gap, "a gap row has its status, no other row one");
    for (const kx::analysis::LogColumn& column : log.columns) {
      Require(kx::analysis::IsGapValue(column.codes[row]) == gap, "gaps are gaps in every column");
      Require(gap || (column.codes[row] >= -2048 && column.codes[row] <= 4095), "codes in range");
    }
  }
  Require(gaps == log.gaps.size(), "the gap list names every gap row");
}

void CheckLevels(const kx::analysis::LogData& log) {
  for (const kx::analysis::LogColumn& column : log.columns) {
    const auto e = column.code_levels.Over(
        column.codes, log.layout.Averaged() ? column.maxima : column.codes, 0, log.Rows());
    for (std::size_t row = 0; row < log.Rows(); ++row) {
      if (!log.Gap(row)) {
        Require(column.codes[row] >= e.low, "no row below the lowest");
      }
    }
    Require(e.Empty() || column.codes[e.low_row] == e.low, "the lowest's row holds it");
  }
  // Drawing takes the seconds in order, as the logger writes them.
  if (log.Rows() == 0 || !std::is_sorted(log.seconds.begin(), log.seconds.end())) {
    return;
  }
  for (const std::size_t buckets : {std::size_t{1}, std::size_t{3}, std::size_t{1000}}) {
    const kx::analysis::LogTrace trace =
        kx::analysis::TraceColumn(log, 0, false, log.seconds.front(), log.seconds.back(), buckets);
    for (const kx::analysis::TraceRun& run : trace.runs) {
      for (const kx::analysis::LogGap& gap : log.gaps) {
        const double at = log.seconds[gap.row];
        Require(!(run.line.front().seconds < at && run.line.back().seconds > at),
                "no line across a gap row");
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = kx::fuzz::AsText(data, size);
  const kx::analysis::LogRead read = kx::analysis::ParseLog(text);
  Require(read.log.has_value() != !read.error.empty(), "a log or a reason, never both");
  if (!read.log) {
    Require(read.error.starts_with("line ") && kx::fuzz::IsOneLine(read.error),
            "a one-line reason naming the line");
    return 0;
  }
  const kx::analysis::LogData& log = *read.log;
  Require(log.complete_bytes + log.partial_bytes == text.size(), "whole and left-over bytes");
  Require(log.Rows() + 2 <= static_cast<std::size_t>(log.lines), "rows are whole lines");
  CheckColumns(log);
  CheckLevels(log);
  return 0;
}
