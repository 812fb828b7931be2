#pragma once

#include <random>
#include <string>

#include "logger/log_format.h"

// The benchmarks' data logs: sixteen channels with volts at ten rows a
// second, a slow sine per channel with noise, the board away for ten
// seconds every hour, in the logger's own format.
namespace kx::bench {

inline constexpr int kLogRowsPerSecond = 10;
inline constexpr int kDayLogRows = 24 * 3600 * kLogRowsPerSecond;
inline constexpr int kWeekLogRows = 7 * kDayLogRows;
inline constexpr int kTenHourLogRows = 10 * 3600 * kLogRowsPerSecond;

logger::LogLayout BenchLogLayout();
// Row n (from 0) of the log.
logger::LogRow BenchLogRow(int n, std::mt19937_64& random);
// Rows [first, first + count) as the logger writes them.
std::string BenchLogLines(int first, int count, std::mt19937_64& random);
// A whole log of `rows` rows at `path`; the reason on failure, else empty.
std::string WriteBenchLog(const std::string& path, int rows);

}  // namespace kx::bench
