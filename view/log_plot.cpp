#include "view/log_plot.h"

#include <QAreaSeries>
#include <QChart>
#include <QColor>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QList>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "analysis/log_trace.h"
#include "view/plot_style.h"

namespace kx::view {
namespace {

constexpr int kBandAlpha = 60;
constexpr double kPointSize = 4.0;

QList<QPointF> QtPoints(const std::vector<analysis::TracePoint>& trace) {
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(trace.size()));
  for (const analysis::TracePoint& p : trace) {
    points.append(QPointF(p.seconds, p.value));
  }
  return points;
}

// A series given points is laid out again whole (its path and its outline
// for the pointer): a growing log's earlier runs keep theirs untouched.
void SetPoints(QXYSeries* series, const std::vector<analysis::TracePoint>& trace) {
  QList<QPointF> points = QtPoints(trace);
  if (points != series->points()) {
    series->replace(points);
  }
}

void HideFromLegend(QChart* chart, QAbstractSeries* series) {
  for (QLegendMarker* marker : chart->legend()->markers(series)) {
    marker->setVisible(false);
  }
}

}  // namespace

void LogPlot::Clear() {
  for (int channel = 0; channel < kChannels; ++channel) {
    ClearChannel(channel);
  }
}

void LogPlot::ClearChannel(int channel) {
  const auto c = static_cast<std::size_t>(channel);
  DropRuns(channel, 0);
  drawn_[c] = {};
  if (points_[c] != nullptr) {
    chart_->removeSeries(points_[c]);
    delete points_[c];
    points_[c] = nullptr;
  }
}

void LogPlot::DropRuns(int channel, std::size_t kept) {
  const auto c = static_cast<std::size_t>(channel);
  for (auto& lines = lines_[c]; lines.size() > kept; lines.pop_back()) {
    chart_->removeSeries(lines.back());
    delete lines.back();
  }
  for (auto& bands = bands_[c]; bands.size() > kept; bands.pop_back()) {
    chart_->removeSeries(bands.back());
    delete bands.back();  // and its edges, its children
  }
}

void LogPlot::AddRun(int channel, bool averaged) {
  const auto c = static_cast<std::size_t>(channel);
  const QColor colour = ChannelColour(channel);
  if (averaged) {
    auto* lower = new QLineSeries;
    auto* upper = new QLineSeries;
    auto* band = new QAreaSeries(upper, lower);
    // The band does not own its edges; as its children they go with it.
    upper->setParent(band);
    lower->setParent(band);
    QColor fill = colour;
    fill.setAlpha(kBandAlpha);
    band->setBrush(fill);
    band->setPen(Qt::NoPen);
    chart_->addSeries(band);
    band->attachAxis(x_);
    band->attachAxis(y_);
    HideFromLegend(chart_, band);
    bands_[c].push_back(band);
  }
  auto* line = new QLineSeries;
  line->setName(QStringLiteral("ADC%1").arg(channel));
  line->setColor(colour);
  chart_->addSeries(line);
  line->attachAxis(x_);
  line->attachAxis(y_);
  if (!lines_[c].empty()) {
    HideFromLegend(chart_, line);
  }
  lines_[c].push_back(line);
}

void LogPlot::ShowPoints(int channel, const std::vector<analysis::TraceRun>& runs,
                         std::size_t first) {
  auto& points = points_[static_cast<std::size_t>(channel)];
  if (first >= runs.size()) {
    if (points != nullptr) {
      chart_->removeSeries(points);
      delete points;
      points = nullptr;
    }
    return;
  }
  if (points == nullptr) {
    const QColor colour = ChannelColour(channel);
    points = new QScatterSeries;
    points->setColor(colour);
    points->setBorderColor(colour);
    points->setMarkerSize(kPointSize);
    chart_->addSeries(points);
    points->attachAxis(x_);
    points->attachAxis(y_);
    HideFromLegend(chart_, points);
  }
  QList<QPointF> rest;
  for (std::size_t run = first; run < runs.size(); ++run) {
    rest.append(QtPoints(runs[run].line));
  }
  points->replace(rest);
}

// The series stay from one draw to the next and only take new points: a
// series added to the chart costs far more than its points replaced.
std::pair<double, double> LogPlot::Draw(const analysis::LogData& log,
                                        const std::array<bool, kChannels>& ticked, bool volts,
                                        std::optional<std::pair<double, double>> span,
                                        bool growing) {
  if (log.layout.Averaged() != averaged_) {
    Clear();
    averaged_ = log.layout.Averaged();
  }
  if (!span) {
    span = {log.Rows() == 0 ? 0.0 : log.seconds.front(),
            log.Rows() == 0 ? 0.0 : log.seconds.back()};
  }
  const auto [from, to] = *span;
  double low = 0.0;
  double high = 0.0;
  bool any = false;
  for (int channel = 0; channel < kChannels; ++channel) {
    const int column = log.ColumnOf(channel);
    if (column < 0 || !ticked[static_cast<std::size_t>(channel)]) {
      ClearChannel(channel);
      continue;
    }
    Drawn& drawn_from = drawn_[static_cast<std::size_t>(channel)];
    const auto index = static_cast<std::size_t>(column);
    const auto buckets = static_cast<std::size_t>(kStretches);
    if (!growing || drawn_from.column != column || drawn_from.volts != volts ||
        drawn_from.from != from || drawn_from.to != to ||
        !analysis::ExtendTrace(log, index, volts, from, to, buckets, drawn_from.trace)) {
      drawn_from = {column, volts, from, to,
                    analysis::TraceColumn(log, index, volts, from, to, buckets)};
    }
    const analysis::LogTrace& trace = drawn_from.trace;
    if (trace.any) {
      low = any ? std::min(low, trace.low) : trace.low;
      high = any ? std::max(high, trace.high) : trace.high;
      any = true;
    }
    const auto& runs = trace.runs;
    const std::size_t drawn = std::min(runs.size(), kMaxLines);
    ShowPoints(channel, runs, drawn);
    DropRuns(channel, drawn);
    auto& lines = lines_[static_cast<std::size_t>(channel)];
    while (lines.size() < drawn) {
      AddRun(channel, averaged_);
    }
    for (std::size_t run = 0; run < drawn; ++run) {
      if (averaged_) {
        QAreaSeries* band = bands_[static_cast<std::size_t>(channel)][run];
        SetPoints(band->lowerSeries(), runs[run].lower);
        SetPoints(band->upperSeries(), runs[run].upper);
      }
      SetPoints(lines[run], runs[run].line);
      // A run of one row has no line to draw: its point shows it.
      lines[run]->setPointsVisible(runs[run].line.size() == 1);
    }
  }
  return {low, high};
}

}  // namespace kx::view
