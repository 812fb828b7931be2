#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// One row as the file holds it. A gap row (the board gave nothing) has the
// failing link status and no figures.
struct LogEntry {
  std::string time_utc;
  double seconds = 0.0;
  std::optional<int> gap_status;
  std::vector<LogFigures> codes;  // one per layout channel; empty in a gap row
  std::vector<LogFigures> volts;  // the same in volts, where the log has volts

  bool Gap() const { return gap_status.has_value(); }
};

// A log read up to its last whole line. The logger appends a row at a time,
// so a file read while it runs may end inside a row: that part is left for
// the next read and `complete_bytes` says where it starts.
struct LogData {
  logger::LogLayout layout;
  std::string header_line;  // the first line, to notice a file replaced by another log
  std::vector<LogEntry> rows;
  std::size_t complete_bytes = 0;
  std::size_t partial_bytes = 0;  // of a last line without its line end
  int lines = 0;                  // whole lines read, the comment and the header row included

  bool HasVolts() const { return layout.reference_volts.has_value(); }
  int GapRows() const;
  // Where a channel's figures sit in a row; -1 for a channel not logged.
  int ColumnOf(int channel) const;
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
LogRead ReadLogFile(const std::string& path);

// Reads what the logger appended to the file since `log` was read and adds
// its whole rows; a file that shrank or now starts with another comment
// line was replaced and is read from the start. On a bad line `log` keeps
// the rows before it and the message names the line. Returns an empty
// text when all went well.
std::string FollowLogFile(const std::string& path, LogData& log);

}  // namespace kx::analysis
