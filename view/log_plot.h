#pragma once

#include <QtGlobal>
#include <array>
#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "analysis/log_file.h"
#include "analysis/log_trace.h"

class QAreaSeries;
class QChart;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace kx::view {

// A log's channels on the time chart against the seconds since the start.
// Each run of good rows is a line of its own, so a gap row shows as a break
// rather than as a drop to zero; an averaged log also shows each reading's
// minimum to maximum as a pale band behind its mean.
class LogPlot {
 public:
  static constexpr int kChannels = 16;
  // A board that fails every other read would give a line per row; past
  // this many lines a channel's further rows are drawn as points only, so
  // the chart stays quick and still draws nothing across a gap.
  static constexpr std::size_t kMaxLines = 200;
  // A plot is about a thousand pixels wide: more rows than twice this in
  // view are drawn from the log's levels, at most this many buckets of rows,
  // each its lowest and highest row: the same picture, at a cost that
  // follows the screen rather than the log. Zooming in shows every row.
  static constexpr qsizetype kStretches = 1000;

  LogPlot(QChart* chart, QValueAxis* x, QValueAxis* y) : chart_(chart), x_(x), y_(y) {}
  LogPlot(const LogPlot&) = delete;
  LogPlot& operator=(const LogPlot&) = delete;
  ~LogPlot() = default;

  // Draws the ticked channels, the rows in `span` (seconds) or all of them;
  // returns the lowest and highest value drawn (equal when there is none).
  // `growing`: the log drawn last, with rows appended; only the buckets the
  // new rows fall in are taken from the levels again.
  std::pair<double, double> Draw(const analysis::LogData& log,
                                 const std::array<bool, kChannels>& ticked, bool volts,
                                 std::optional<std::pair<double, double>> span = std::nullopt,
                                 bool growing = false);
  void Clear();

  // The lines of a channel, one per run of good rows, in time order.
  const std::vector<QLineSeries*>& Lines(int channel) const {
    return lines_[static_cast<std::size_t>(channel)];
  }
  const std::vector<QAreaSeries*>& Bands(int channel) const {
    return bands_[static_cast<std::size_t>(channel)];
  }
  // The rows past the lines' limit; null while a channel is within it.
  const QScatterSeries* Points(int channel) const {
    return points_[static_cast<std::size_t>(channel)];
  }

 private:
  void ClearChannel(int channel);
  // Removes a channel's runs past the first `kept`.
  void DropRuns(int channel, std::size_t kept);
  void AddRun(int channel, bool averaged);
  // The runs from `first` on as points (none: the points removed).
  void ShowPoints(int channel, const std::vector<analysis::TraceRun>& runs, std::size_t first);

  QChart* chart_;
  QValueAxis* x_;
  QValueAxis* y_;
  std::array<std::vector<QLineSeries*>, kChannels> lines_;
  std::array<std::vector<QAreaSeries*>, kChannels> bands_;
  std::array<QScatterSeries*, kChannels> points_{};
  bool averaged_ = false;  // whether the runs have bands
  // What each channel's lines were drawn from, to be extended as rows come.
  struct Drawn {
    int column = -1;
    bool volts = false;
    double from = 0.0;
    double to = 0.0;
    analysis::LogTrace trace;
  };
  std::array<Drawn, kChannels> drawn_;
};

}  // namespace kx::view
