#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/log_file.h"

namespace kx::analysis {

// One channel over the good rows of a log: the logged code (the mean of an
// averaged log) row by row, as the statistics tab and the report show it.
struct LogChannelStats {
  int channel = 0;
  int count = 0;
  double mean = 0.0;
  double minimum = 0.0;
  double maximum = 0.0;
  double std_dev = 0.0;  // population standard deviation, in LSB
  std::optional<double> mean_volts;
};

struct LogStats {
  int rows = 0;
  int gap_rows = 0;
  std::string first_time;  // ISO 8601 UTC of the first and the last row
  std::string last_time;
  double first_seconds = 0.0;
  double last_seconds = 0.0;
  std::vector<LogChannelStats> channels;  // in the log's channel order
};

LogStats LogStatistics(const LogData& log);

// The report of a log as plain text or as one JSON object.
std::string LogReportText(const std::string& path, const LogData& log, const LogStats& stats);
std::string LogReportJson(const std::string& path, const LogData& log, const LogStats& stats);

// The rows as CSV for other tools: seconds, status, then per channel the
// code (or the mean) and its volts where the log has them; a gap row keeps
// its time with empty figures.
std::string LogCsvText(const LogData& log);

}  // namespace kx::analysis
