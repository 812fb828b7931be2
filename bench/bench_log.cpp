#include "bench/bench_log.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>

namespace kx::bench {

logger::LogLayout BenchLogLayout() {
  logger::LogLayout layout;
  layout.program = "KX7312(version2)";
  layout.configuration_word = 0x8370;
  layout.straight_binary = false;
  layout.reference_volts = 2.5;
  for (int c = 0; c < 16; ++c) {
    layout.channels.push_back(c);
  }
  layout.interval_seconds = 1.0 / kLogRowsPerSecond;
  layout.started = "2026-12-08T00:00:00.000000Z";
  return layout;
}

logger::LogRow BenchLogRow(int n, std::mt19937_64& random) {
  // One distribution for the whole run, as the logs so far were written.
  static std::normal_distribution<double> noise(0.0, 2.0);
  const auto start = std::chrono::sys_days{std::chrono::year{2026} / 12 / 8};
  const std::chrono::milliseconds since{static_cast<std::int64_t>(n) * 1000 / kLogRowsPerSecond};
  logger::LogRow row;
  row.utc = start + since;
  row.since_start = since;
  if (n % (3600 * kLogRowsPerSecond) < 10 * kLogRowsPerSecond) {
    row.gap_status = -9;
    return row;
  }
  for (int c = 0; c < 16; ++c) {
    const auto code = static_cast<std::int32_t>(
        std::lround(100 * c - 1000 + 800 * std::sin(n / 36000.0 + c) + noise(random)));
    row.figures.push_back({static_cast<double>(code), code, code, 0.0});
  }
  return row;
}

std::string BenchLogLines(int first, int count, std::mt19937_64& random) {
  const logger::LogLayout layout = BenchLogLayout();
  std::string lines;
  for (int n = first; n < first + count; ++n) {
    lines += logger::RowLine(layout, BenchLogRow(n, random));
  }
  return lines;
}

std::string WriteBenchLog(const std::string& path, int rows) {
  const logger::LogLayout layout = BenchLogLayout();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << logger::HeaderLine(layout) << logger::ColumnLine(layout);
  std::mt19937_64 random(7);
  constexpr int kBlockRows = 4096;
  for (int n = 0; n < rows && out; n += kBlockRows) {
    out << BenchLogLines(n, std::min(kBlockRows, rows - n), random);
  }
  out.close();
  return out ? std::string() : "cannot write " + path;
}

}  // namespace kx::bench
