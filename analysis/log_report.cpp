#include "analysis/log_report.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <nlohmann/json.hpp>

#include "analysis/capture_report.h"

namespace kx::analysis {
namespace {

using Json = nlohmann::ordered_json;

std::string ScaleText(const logger::LogLayout& layout) {
  // The classic program has no coding list: it reads straight binary.
  return fmt::format(
      "{}, {}, {}", RangeName(layout.half_span), CodingName(layout.straight_binary.value_or(true)),
      layout.reference_volts ? fmt::format("reference {:.3f} V", *layout.VoltsReference())
                             : std::string("no volts (the classic program shows none)"));
}

// Which calibration the volts columns were computed with, and on which
// channels.
Json CalibrationJson(const logger::LogLayout& layout) {
  if (!layout.calibration) {
    return nullptr;
  }
  Json channels = Json::array();
  for (const int channel : layout.channels) {
    if (layout.calibration->adc[static_cast<std::size_t>(channel)]) {
      channels.push_back(channel);
    }
  }
  return {{"path", layout.calibration->path},
          {"board", layout.calibration->board},
          {"channels", std::move(channels)}};
}

}  // namespace

LogStats LogStatistics(const LogData& log) {
  // From the sums kept as the rows came: no pass over the rows here.
  LogStats stats;
  stats.rows = static_cast<int>(log.Rows());
  stats.gap_rows = log.GapRows();
  if (log.Rows() > 0) {
    stats.first_time = log.first_time;
    stats.last_time = log.last_time;
    stats.first_seconds = log.seconds.front();
    stats.last_seconds = log.seconds.back();
  }
  for (std::size_t c = 0; c < log.layout.channels.size(); ++c) {
    const LogColumn& column = log.columns[c];
    LogChannelStats channel;
    channel.channel = log.layout.channels[c];
    channel.count = static_cast<int>(column.count);
    if (column.count > 0) {
      const auto n = static_cast<double>(column.count);
      const double offset = column.sum / n;
      channel.mean = column.origin + offset;
      channel.minimum = column.lowest;
      channel.maximum = column.highest;
      channel.std_dev = std::sqrt(std::max(0.0, column.squares / n - offset * offset));
      if (log.HasVolts()) {
        // The volts are linear in the value: their mean is the mean's.
        channel.mean_volts = log.ValueVolts(channel.mean, c);
      }
    }
    stats.channels.push_back(channel);
  }
  return stats;
}

std::string LogReportText(const std::string& path, const LogData& log, const LogStats& stats) {
  const logger::LogLayout& layout = log.layout;
  std::string text =
      fmt::format("{}: log of {} channel{}, {} rows ({} gap rows), every {:g} s, {}\n", path,
                  layout.channels.size(), layout.channels.size() == 1 ? "" : "s", stats.rows,
                  stats.gap_rows, layout.interval_seconds,
                  layout.Averaged() ? fmt::format("mean of {} reads per row", layout.average)
                                    : std::string("one read per row"));
  text += fmt::format("Scale: {} ({} program, from the log's first line)\n", ScaleText(layout),
                      layout.edition);
  if (layout.calibration) {
    text += fmt::format("Calibration: {} (board {})\n", layout.calibration->path,
                        layout.calibration->board);
  }
  if (stats.rows > 0) {
    text += fmt::format("Time: {} ({:.3f} s) to {} ({:.3f} s)\n", stats.first_time,
                        stats.first_seconds, stats.last_time, stats.last_seconds);
  }
  if (log.partial_bytes > 0) {
    text += fmt::format("Last line incomplete ({} bytes), left out\n", log.partial_bytes);
  }
  text += fmt::format("{:<8}{:>8}{:>14}{:>12}{:>10}{:>10}{:>12}\n", "Channel", "Rows",
                      layout.Averaged() ? "Mean of mean" : "Mean code", "Std dev LSB", "Min", "Max",
                      "Mean volts");
  const int decimals = layout.Averaged() ? 3 : 0;
  for (const LogChannelStats& st : stats.channels) {
    text += fmt::format("{:<8}{:>8}{:>14.3f}{:>12.3f}{:>10.{}f}{:>10.{}f}{:>12}\n",
                        fmt::format("ADC{}", st.channel), st.count, st.mean, st.std_dev, st.minimum,
                        decimals, st.maximum, decimals,
                        st.mean_volts ? fmt::format("{:.4f}", *st.mean_volts) : "-");
  }
  return text;
}

std::string LogReportJson(const std::string& path, const LogData& log, const LogStats& stats) {
  const logger::LogLayout& layout = log.layout;
  Json doc;
  doc["file"] = path;
  doc["kind"] = "log";
  doc["edition"] = layout.edition;
  doc["range"] = layout.half_span ? "vref" : "2xvref";
  doc["coding"] = layout.straight_binary.value_or(true) ? "binary" : "twos";
  doc["reference_volts"] = layout.reference_volts ? Json(*layout.VoltsReference()) : Json(nullptr);
  doc["calibration"] = CalibrationJson(layout);
  doc["interval_seconds"] = layout.interval_seconds;
  doc["average"] = layout.average;
  doc["rows"] = stats.rows;
  doc["gap_rows"] = stats.gap_rows;
  doc["first_time"] = stats.rows > 0 ? Json(stats.first_time) : Json(nullptr);
  doc["last_time"] = stats.rows > 0 ? Json(stats.last_time) : Json(nullptr);
  doc["first_seconds"] = stats.first_seconds;
  doc["last_seconds"] = stats.last_seconds;
  doc["partial_last_line_bytes"] = log.partial_bytes;
  Json rows = Json::array();
  for (const LogChannelStats& st : stats.channels) {
    rows.push_back({{"channel", st.channel},
                    {"count", st.count},
                    {"mean_code", st.mean},
                    {"std_dev_lsb", st.std_dev},
                    {"min", st.minimum},
                    {"max", st.maximum},
                    {"mean_volts", st.mean_volts ? Json(*st.mean_volts) : Json(nullptr)}});
  }
  doc["statistics"] = std::move(rows);
  return doc.dump() + "\n";
}

std::string LogCsvText(const LogData& log) {
  std::string text = "seconds,status";
  for (const int channel : log.layout.channels) {
    text += fmt::format(",ADC{}_code", channel);
    if (log.HasVolts()) {
      text += fmt::format(",ADC{}_volts", channel);
    }
  }
  text += "\n";
  auto out = std::back_inserter(text);
  for (std::size_t row = 0; row < log.Rows(); ++row) {
    const bool gap = log.Gap(row);
    fmt::format_to(out, "{:.6f},{}", log.seconds[row], gap ? "gap" : "ok");
    for (std::size_t c = 0; c < log.layout.channels.size(); ++c) {
      if (gap) {
        text += log.HasVolts() ? ",," : ",";
        continue;
      }
      const double value = log.Value(row, c);
      fmt::format_to(out, ",{:g}", value);
      if (log.HasVolts()) {
        fmt::format_to(out, ",{:.6f}", log.ValueVolts(value, c));
      }
    }
    text += "\n";
  }
  return text;
}

}  // namespace kx::analysis
