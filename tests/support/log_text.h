#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "logger/log_format.h"

namespace kx::testing {

// Logs written with the logger's own format, for the readers' tests.

// Version2 logs two's-complement codes with volts on 2.50 V; the classic
// program logs plain codes and no volts.
inline logger::LogLayout LogLayoutOf(const std::string& edition, int average,
                                     std::vector<int> channels) {
  logger::LogLayout layout;
  layout.edition = edition;
  layout.program = edition == "classic" ? "KX7312" : "KX7312(version2)";
  layout.configuration_word = 0x8370;
  if (edition != "classic") {
    layout.straight_binary = false;
    layout.reference_volts = 2.5;
  }
  layout.channels = std::move(channels);
  layout.average = average;
  layout.interval_seconds = 1.0;
  layout.started = "2026-12-08T06:00:00.000000Z";
  return layout;
}

// Row `n`, `n` seconds after the start: channel i's code is `codes[i]`; an
// averaged row has that code as its minimum, three more as its maximum, a
// mean a quarter above and a deviation of 1.5. No codes: a gap row.
inline std::string LogRowText(const logger::LogLayout& layout, int n,
                              const std::vector<int>& codes) {
  logger::LogRow row;
  const auto start =
      std::chrono::sys_days{std::chrono::year{2026} / 12 / 8} + std::chrono::hours{6};
  row.utc = start + std::chrono::seconds{n};
  row.since_start = std::chrono::seconds{n};
  if (codes.empty()) {
    row.gap_status = -9;
  }
  for (const int code : codes) {
    row.figures.push_back(layout.Averaged()
                              ? logger::ChannelFigures{code + 0.25, code, code + 3, 1.5}
                              : logger::ChannelFigures{static_cast<double>(code), code, code, 0.0});
  }
  return logger::RowLine(layout, row);
}

inline std::string LogHeadText(const logger::LogLayout& layout) {
  return logger::HeaderLine(layout) + logger::ColumnLine(layout);
}

}  // namespace kx::testing
