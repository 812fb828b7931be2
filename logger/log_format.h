#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "adc/calibration_note.h"

namespace kx::logger {

// The first line of every log: "# kx7312-log " and a JSON object.
inline constexpr std::string_view HeaderPrefix = "# kx7312-log ";
inline constexpr int LogFormatVersion = 1;
// The logger writes a few hundred bytes there; a reader looks no further
// for the line's end, so that a file of one huge line costs nothing.
inline constexpr std::size_t LargestHeaderLine = std::size_t{64} << 10;
// What the logger takes for a row (its --average and --every), and so what
// a comment line may record.
inline constexpr int LargestAverage = 100000;
inline constexpr double ShortestIntervalSeconds = 0.001;
inline constexpr double LongestIntervalSeconds = 24.0 * 3600.0;
// The reference volts a log may record, as a capture's metadata does.
inline constexpr double LargestReferenceVolts = 5.0;

// What a log's comment line records, and what decides its columns.
struct LogLayout {
  std::string edition = "version2";  // "version2" or "classic"
  std::string program;               // "KX7312(version2)"
  std::int32_t configuration_word = 0;
  bool half_span = false;               // "0V to VREFA"
  bool weak = false;                    // "Weak" rather than "Three-State"
  std::optional<bool> straight_binary;  // none in the classic program, whose codes are plain
  // The "ADC Reference" the volts columns use; none where the edition has
  // no volts, and then there are no volts columns.
  std::optional<double> reference_volts;
  std::vector<int> channels;  // in the order of their columns
  // Reads per row: 1 gives a code per channel, more give the mean, minimum,
  // maximum and standard deviation of that many reads.
  int average = 1;
  double interval_seconds = 1.0;
  std::string started;  // ISO 8601, UTC, microseconds
  // The calibration the volts columns were computed with; none: nominal.
  std::optional<adc::CalibrationNote> calibration;

  bool Averaged() const { return average > 1; }
  // The reference the volts columns are computed with: the one the
  // calibration measured where it holds one, else the one given; none
  // without volts columns.
  std::optional<double> VoltsReference() const {
    if (!reference_volts || !calibration || !calibration->reference_volts) {
      return reference_volts;
    }
    return calibration->reference_volts;
  }
  // Whether codes are written signed (two's complement, -2048 to 2047).
  bool SignedCodes() const { return straight_binary.has_value() && !*straight_binary; }
  bool operator==(const LogLayout&) const = default;
};

// The figures of one channel in one row, on the line SignedCode puts codes
// on. A single read has its code in all three and a deviation of 0.
struct ChannelFigures {
  double mean = 0.0;
  std::int32_t minimum = 0;
  std::int32_t maximum = 0;
  double deviation = 0.0;
};

// One row: when its reads began, and what they gave or why the board gave
// nothing (a gap row: the failing status, no figures).
struct LogRow {
  std::chrono::system_clock::time_point utc;
  std::chrono::nanoseconds since_start{};
  std::optional<std::int16_t> gap_status;
  std::vector<ChannelFigures> figures;  // one per layout channel; empty in a gap row
};

// "2026-12-08T06:00:01.250000Z".
std::string IsoMicroseconds(std::chrono::system_clock::time_point time);

// The comment line and the header row, each ending in a newline.
std::string HeaderLine(const LogLayout& layout);
std::vector<std::string> ColumnNames(const LogLayout& layout);
std::string ColumnLine(const LogLayout& layout);

// A row's line, ending in a newline.
std::string RowLine(const LogLayout& layout, const LogRow& row);

struct HeaderRead {
  std::optional<LogLayout> layout;
  std::string error;  // names what is wrong
};

// The layout a log's first line records.
HeaderRead ParseHeaderLine(std::string_view line);

}  // namespace kx::logger
