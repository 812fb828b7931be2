#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/min_max_pyramid.h"
#include "board/line_correction.h"
#include "logger/log_format.h"

namespace kx::analysis {

// One channel's figures in one row of a log. A log of single reads holds
// the code in all three values and a deviation of 0; an averaged log holds
// the mean, minimum, maximum and standard deviation of its reads.
struct LogFigures {
  double mean = 0.0;
  double minimum = 0.0;
  double maximum = 0.0;
  double deviation = 0.0;
};

// One logged channel, a value per row, as compact as the file allows: a
// day at ten rows a second is 864,000 rows. Single reads keep their code;
// an averaged log its mean and deviation (as written, three decimals) and
// its minimum and maximum codes. A gap row holds kGapCode (NaN for the
// means). Volts are not kept: they follow from the codes through the
// log's scale.
struct LogColumn {
  std::vector<std::int16_t> codes;   // single reads: the code; averaged: the minimum
  std::vector<std::int16_t> maxima;  // averaged logs only
  std::vector<float> means;          // averaged logs only
  std::vector<float> deviations;     // averaged logs only
  // Built as the rows come: the logged value (code or mean) for the line,
  // and for an averaged log the minimum and maximum for its band.
  MinMaxPyramid<std::int16_t> code_levels;
  MinMaxPyramid<float> mean_levels;
  // The statistics' sums over the good rows, kept as rows come so that a
  // followed log's figures cost only its new rows. Values are taken from
  // the first one, which keeps the sum of squares exact for codes.
  std::int64_t count = 0;
  double origin = 0.0;
  double sum = 0.0;
  double squares = 0.0;
  double lowest = 0.0;
  double highest = 0.0;
};

struct LogGap {
  std::size_t row = 0;
  int status = 0;  // the link status the board failed with
};

// A log read up to its last whole line. The logger appends a row at a time,
// so a file read while it runs may end inside a row: that part is left for
// the next read and `complete_bytes` says where it starts.
struct LogData {
  logger::LogLayout layout;
  std::string header_line;         // the first line, to notice a file replaced by another log
  std::vector<double> seconds;     // since the start, one per row
  std::vector<LogColumn> columns;  // one per layout channel
  std::vector<LogGap> gaps;        // in row order
  std::string first_time;          // time_utc of the first and the last row
  std::string last_time;
  std::size_t complete_bytes = 0;
  std::size_t partial_bytes = 0;  // of a last line without its line end
  std::int64_t lines = 0;         // whole lines read, the comment and the header row included

  std::size_t Rows() const { return seconds.size(); }
  bool HasVolts() const { return layout.reference_volts.has_value(); }
  int GapRows() const { return static_cast<int>(gaps.size()); }
  bool Gap(std::size_t row) const { return IsGapValue(columns.front().codes[row]); }
  // The failing link status of a gap row; none for a good row.
  std::optional<int> GapStatus(std::size_t row) const;
  // Where a channel's figures sit in a row; -1 for a channel not logged.
  int ColumnOf(int channel) const;
  // A good row's figures of one column, in codes and in volts.
  LogFigures Codes(std::size_t row, std::size_t column) const;
  LogFigures Volts(std::size_t row, std::size_t column) const;
  // The logged value (the code, or the mean) of a good row.
  double Value(std::size_t row, std::size_t column) const;
  // Volts of a value on a column's line, through the log's scale and the
  // channel's correction where the comment line records a calibration; the
  // logger wrote its volts columns so.
  double ValueVolts(double value, std::size_t column) const;
  // The column's channel's correction, or null where none was applied.
  const board::LineCorrection* Correction(std::size_t column) const;
  // A row's UTC time: the start's plus the row's seconds, to the microsecond.
  std::string TimeUtc(std::size_t row) const;
  // What the rows take in memory, their levels included.
  std::size_t Bytes() const;
};

struct LogRead {
  std::optional<LogData> log;
  std::string error;  // names the line at fault
};

// Whether text begins as a log does (its comment line), whatever the name.
bool StartsAsLog(std::string_view text);
// The same for a file: false for anything that is not a regular file.
bool FileStartsAsLog(const std::string& path);

LogRead ParseLog(std::string_view text);
// Reads the file in large blocks, one pass, never holding it whole.
LogRead ReadLogFile(const std::string& path);

// Reads what the logger appended to the file since `log` was read and adds
// its whole rows; a file that shrank or now starts with another comment
// line was replaced and is read from the start. On a bad line `log` keeps
// the rows before it and the message names the line. Returns an empty
// text when all went well.
std::string FollowLogFile(const std::string& path, LogData& log);

}  // namespace kx::analysis
