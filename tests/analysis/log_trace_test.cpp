#include "analysis/log_trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/min_max_pyramid.h"
#include "support/log_text.h"
#include "support/temp_folder.h"

namespace kx::analysis {
namespace {

using testing::LogHeadText;
using testing::LogLayoutOf;
using testing::LogRowText;

// Against every row looked at: the extremes and the first rows holding
// them, for stretches of any length and place, with the levels grown in
// uneven steps as --follow grows them.
TEST(MinMaxPyramid, ExtremesOfAnyStretchAsIfEveryRowWereLookedAt) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int> code(-40, 40);
  std::vector<std::int16_t> column;
  MinMaxPyramid<std::int16_t> levels;
  for (const std::size_t step : {1, 7, 300, 1, 5000, 64, 999}) {
    for (std::size_t i = 0; i < step; ++i) {
      column.push_back(random() % 17 == 0 ? kGapCode : static_cast<std::int16_t>(code(random)));
    }
    levels.Extend(column, column);
  }
  std::uniform_int_distribution<std::size_t> place(0, column.size());
  for (int trial = 0; trial < 2000; ++trial) {
    std::size_t from = place(random);
    std::size_t to = place(random);
    std::tie(from, to) = std::minmax(from, to);
    const auto e = levels.Over(column, column, from, to);
    std::int16_t low = std::numeric_limits<std::int16_t>::max();
    std::int16_t high = std::numeric_limits<std::int16_t>::lowest();
    std::size_t low_row = 0;
    std::size_t high_row = 0;
    for (std::size_t r = from; r < to; ++r) {
      if (column[r] == kGapCode) {
        continue;
      }
      if (column[r] < low) {
        low = column[r];
        low_row = r;
      }
      if (column[r] > high) {
        high = column[r];
        high_row = r;
      }
    }
    ASSERT_EQ(e.Empty(), low > high) << from << " " << to;
    if (!e.Empty()) {
      ASSERT_EQ(e.low, low) << from << " " << to;
      ASSERT_EQ(e.high, high) << from << " " << to;
      ASSERT_EQ(e.low_row, low_row) << from << " " << to;
      ASSERT_EQ(e.high_row, high_row) << from << " " << to;
    }
  }
}

struct TraceCase {
  const char* name;
  int average;
  double from;
  double to;
  std::size_t rows_per_bucket;
};

// 40,000 rows of a slow ramp with a spike, a gap every 5,000 rows and a
// stretch of three gaps: drawn whole from the levels, zoomed in row by row.
TEST(LogTrace, DrawsTheScreenNotTheLogAndBreaksAtEveryGap) {
  const std::vector<TraceCase> cases = {
      {"whole, single reads", 1, 0, 40000, 64},
      {"whole, averaged", 4, 0, 40000, 64},
      {"zoomed in", 1, 12000.5, 13500, 1},
  };
  constexpr int kRows = 40000;
  for (const TraceCase& c : cases) {
    SCOPED_TRACE(c.name);
    const logger::LogLayout layout = LogLayoutOf("version2", c.average, {3});
    std::string text = LogHeadText(layout);
    std::vector<int> gaps;
    for (int n = 0; n < kRows; ++n) {
      const bool gap = n % 5000 == 4999 || (n >= 12100 && n < 12103);
      if (gap) {
        gaps.push_back(n);
      }
      text += LogRowText(layout, n,
                         gap ? std::vector<int>{} : std::vector<int>{n == 23456 ? 1900 : n / 100});
    }
    const LogRead read = ParseLog(text);
    ASSERT_TRUE(read.log) << read.error;
    const LogTrace trace = TraceColumn(*read.log, 0, false, c.from, c.to, 1000);
    EXPECT_EQ(trace.rows_per_bucket, c.rows_per_bucket);
    std::size_t points = 0;
    for (const TraceRun& run : trace.runs) {
      points += run.line.size();
      ASSERT_FALSE(run.line.empty());
      EXPECT_TRUE(std::is_sorted(
          run.line.begin(), run.line.end(),
          [](const TracePoint& a, const TracePoint& b) { return a.seconds < b.seconds; }));
      EXPECT_EQ(run.lower.empty(), c.average == 1);
      // No line is drawn across a gap row.
      for (const int gap : gaps) {
        EXPECT_FALSE(run.line.front().seconds < gap && run.line.back().seconds > gap) << gap;
      }
    }
    const auto rows_in_view =
        static_cast<std::size_t>(std::min<double>(c.to, kRows - 1) - std::ceil(c.from) + 3);
    EXPECT_LE(points,
              c.rows_per_bucket == 1 ? rows_in_view : std::size_t{2000} + 2 * trace.runs.size());
    if (c.from == 0) {
      // The whole log: the spike and the lowest row are drawn.
      const double shift = c.average == 1 ? 0.0 : 0.25;
      EXPECT_DOUBLE_EQ(trace.high, c.average == 1 ? 1900 : 1903);
      EXPECT_DOUBLE_EQ(trace.low, 0.0);
      bool spike = false;
      for (const TraceRun& run : trace.runs) {
        spike = spike || std::any_of(run.line.begin(), run.line.end(), [&](const TracePoint& p) {
                  return p.seconds == 23456 && p.value == 1900 + shift;
                });
      }
      EXPECT_TRUE(spike);
      // Eight gaps, one stretch of three: nine runs, each on its own line.
      EXPECT_EQ(trace.runs.size(), 9U);
    } else {
      // Every row in view, one beyond each edge, a run each side of the gaps.
      ASSERT_EQ(trace.runs.size(), 2U);
      EXPECT_EQ(trace.runs[0].line.front().seconds, 12000);
      EXPECT_EQ(trace.runs[0].line.back().seconds, 12099);
      EXPECT_EQ(trace.runs[1].line.front().seconds, 12103);
      EXPECT_EQ(trace.runs[1].line.back().seconds, 13501);
    }
  }
}

TEST(LogTrace, VoltsFollowFromTheCodesThroughTheScale) {
  const logger::LogLayout layout = LogLayoutOf("version2", 1, {0});
  const LogRead read = ParseLog(LogHeadText(layout) + LogRowText(layout, 0, {-2048}) +
                                LogRowText(layout, 1, {1024}));
  ASSERT_TRUE(read.log) << read.error;
  const LogTrace trace = TraceColumn(*read.log, 0, true, 0, 1, 1000);
  ASSERT_EQ(trace.runs.size(), 1U);
  ASSERT_EQ(trace.runs[0].line.size(), 2U);
  // Two's complement on the 5 V span: the bottom is 0 V, +1024 is 3.75 V.
  EXPECT_DOUBLE_EQ(trace.runs[0].line[0].value, 0.0);
  EXPECT_DOUBLE_EQ(trace.runs[0].line[1].value, 3.75);
}

// A log read on in uneven steps, gaps among the new rows: each extended
// trace is the one drawn afresh, point for point.
TEST(LogTrace, ExtendedAsRowsComeAsIfDrawnAfresh) {
  const auto same = [](const std::vector<TracePoint>& a, const std::vector<TracePoint>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& p, const auto& q) {
      return p.seconds == q.seconds && p.value == q.value && p.row == q.row;
    });
  };
  for (const int average : {1, 4}) {
    SCOPED_TRACE(average);
    const testing::TempFolder folder;
    const std::string path = folder.File("log.csv");
    const logger::LogLayout layout = LogLayoutOf("version2", average, {3});
    std::string text = LogHeadText(layout);
    int rows = 0;
    std::optional<LogData> log;
    LogTrace trace;
    int extended = 0;
    for (const int step : {300, 1, 7, 64, 1, 900, 5, 3000, 2, 40}) {
      for (const int end = rows + step; rows < end; ++rows) {
        // Row 298 a gap: the second step starts after a gap, on a new run.
        const bool gap = rows % 97 == 50 || rows == 298 || rows == 1209 || rows == 1210;
        text += LogRowText(layout, rows, gap ? std::vector<int>{} : std::vector<int>{rows % 251});
      }
      testing::WriteBytes(path, text);
      if (!log) {
        log = ReadLogFile(path).log;
        ASSERT_TRUE(log);
      } else {
        ASSERT_EQ(FollowLogFile(path, *log), "");
      }
      const LogTrace fresh = TraceColumn(*log, 0, false, 0, 5000, 200);
      if (ExtendTrace(*log, 0, false, 0, 5000, 200, trace)) {
        ++extended;
      } else {
        trace = TraceColumn(*log, 0, false, 0, 5000, 200);
      }
      ASSERT_EQ(trace.runs.size(), fresh.runs.size()) << rows;
      for (std::size_t r = 0; r < fresh.runs.size(); ++r) {
        ASSERT_TRUE(same(trace.runs[r].line, fresh.runs[r].line)) << rows << " run " << r;
        ASSERT_TRUE(same(trace.runs[r].lower, fresh.runs[r].lower)) << rows << " run " << r;
        ASSERT_TRUE(same(trace.runs[r].upper, fresh.runs[r].upper)) << rows << " run " << r;
      }
      EXPECT_EQ(std::tie(trace.low, trace.high, trace.rows_per_bucket),
                std::tie(fresh.low, fresh.high, fresh.rows_per_bucket));
    }
    // Most steps keep their buckets; a step that doubles them draws afresh.
    EXPECT_GE(extended, 5);
  }
}

}  // namespace
}  // namespace kx::analysis
