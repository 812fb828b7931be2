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

void HideFromLegend(QChart* chart, QAbstractSeries* series) {
  for (QLegendMarker* marker : chart->legend()->markers(series)) {
    marker->setVisible(false);
  }
}

}  // namespace

void LogPlot::Clear() {
  for (auto& lines : lines_) {
    for (QLineSeries* line : lines) {
      chart_->removeSeries(line);
      delete line;
    }
    lines.clear();
  }
  for (auto& bands : bands_) {
    for (QAreaSeries* band : bands) {
      chart_->removeSeries(band);
      delete band;  // and its edges, its children
    }
    bands.clear();
  }
  for (QScatterSeries*& points : points_) {
    if (points != nullptr) {
      chart_->removeSeries(points);
      delete points;
      points = nullptr;
    }
  }
}

std::pair<double, double> LogPlot::Draw(const analysis::LogData& log,
                                        const std::array<bool, kChannels>& ticked, bool volts,
                                        std::optional<std::pair<double, double>> span) {
  Clear();
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
      continue;
    }
    const analysis::LogTrace trace =
        analysis::TraceColumn(log, static_cast<std::size_t>(column), volts, from, to,
                              static_cast<std::size_t>(kStretches));
    if (trace.any) {
      low = any ? std::min(low, trace.low) : trace.low;
      high = any ? std::max(high, trace.high) : trace.high;
      any = true;
    }
    const auto& runs = trace.runs;
    const QColor colour = ChannelColour(channel);
    auto& lines = lines_[static_cast<std::size_t>(channel)];
    const std::size_t drawn = std::min(runs.size(), kMaxLines);
    if (runs.size() > drawn) {
      auto* points = new QScatterSeries;
      points->setColor(colour);
      points->setBorderColor(colour);
      points->setMarkerSize(kPointSize);
      QList<QPointF> rest;
      for (std::size_t run = drawn; run < runs.size(); ++run) {
        rest.append(QtPoints(runs[run].line));
      }
      points->replace(rest);
      chart_->addSeries(points);
      points->attachAxis(x_);
      points->attachAxis(y_);
      HideFromLegend(chart_, points);
      points_[static_cast<std::size_t>(channel)] = points;
    }
    for (std::size_t run = 0; run < drawn; ++run) {
      if (log.layout.Averaged()) {
        auto* lower = new QLineSeries;
        auto* upper = new QLineSeries;
        lower->replace(QtPoints(runs[run].lower));
        upper->replace(QtPoints(runs[run].upper));
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
        bands_[static_cast<std::size_t>(channel)].push_back(band);
      }
      auto* line = new QLineSeries;
      line->setName(QStringLiteral("ADC%1").arg(channel));
      line->setColor(colour);
      line->replace(QtPoints(runs[run].line));
      // A run of one row has no line to draw: its point shows it.
      line->setPointsVisible(runs[run].line.size() == 1);
      chart_->addSeries(line);
      line->attachAxis(x_);
      line->attachAxis(y_);
      if (run > 0) {
        HideFromLegend(chart_, line);
      }
      lines.push_back(line);
    }
  }
  return {low, high};
}

}  // namespace kx::view
