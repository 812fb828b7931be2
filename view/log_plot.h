#pragma once

#include <array>
#include <utility>
#include <vector>

#include "analysis/log_file.h"

class QAreaSeries;
class QChart;
class QLineSeries;
class QValueAxis;

namespace kx::view {

// A log's channels on the time chart against the seconds since the start.
// Each run of good rows is a line of its own, so a gap row shows as a break
// rather than as a drop to zero; an averaged log also shows each reading's
// minimum to maximum as a pale band behind its mean.
class LogPlot {
 public:
  static constexpr int kChannels = 16;

  LogPlot(QChart* chart, QValueAxis* x, QValueAxis* y) : chart_(chart), x_(x), y_(y) {}
  LogPlot(const LogPlot&) = delete;
  LogPlot& operator=(const LogPlot&) = delete;
  ~LogPlot() = default;

  // Draws the ticked channels; returns the lowest and highest value drawn
  // (equal when nothing was).
  std::pair<double, double> Draw(const analysis::LogData& log,
                                 const std::array<bool, kChannels>& ticked, bool volts);
  void Clear();

  // The lines of a channel, one per run of good rows, in time order.
  const std::vector<QLineSeries*>& Lines(int channel) const {
    return lines_[static_cast<std::size_t>(channel)];
  }
  const std::vector<QAreaSeries*>& Bands(int channel) const {
    return bands_[static_cast<std::size_t>(channel)];
  }

 private:
  QChart* chart_;
  QValueAxis* x_;
  QValueAxis* y_;
  std::array<std::vector<QLineSeries*>, kChannels> lines_;
  std::array<std::vector<QAreaSeries*>, kChannels> bands_;
};

}  // namespace kx::view
