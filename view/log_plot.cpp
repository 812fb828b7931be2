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

#include "view/plot_style.h"

namespace kx::view {
namespace {

constexpr int kBandAlpha = 60;
constexpr double kPointSize = 4.0;

enum class Keep { LowestAndHighest, Lowest, Highest };

// The points of `run` that fall in [low, high] and one beyond each end, so
// that a line runs on to the edge; many are thinned to each stretch's
// extremes, in their own order.
QList<QPointF> Thin(const QList<QPointF>& run, double low, double high, Keep keep) {
  const auto before = std::lower_bound(run.begin(), run.end(), low,
                                       [](const QPointF& p, double x) { return p.x() < x; });
  const auto after = std::upper_bound(run.begin(), run.end(), high,
                                      [](double x, const QPointF& p) { return x < p.x(); });
  const qsizetype from = std::max<qsizetype>(before - run.begin() - 1, 0);
  const qsizetype to = std::min<qsizetype>(after - run.begin() + 1, run.size());
  if (to - from <= 2 * LogPlot::kStretches || !(high > low)) {
    return run.mid(from, to - from);
  }
  const double width = (high - low) / LogPlot::kStretches;
  QList<QPointF> thinned;
  thinned.reserve(2 * LogPlot::kStretches + 4);
  qsizetype i = from;
  while (i < to) {
    const double stretch = std::floor((run[i].x() - low) / width);
    qsizetype lowest = i;
    qsizetype highest = i;
    for (++i; i < to && std::floor((run[i].x() - low) / width) == stretch; ++i) {
      lowest = run[i].y() < run[lowest].y() ? i : lowest;
      highest = run[i].y() > run[highest].y() ? i : highest;
    }
    switch (keep) {
      case Keep::Lowest:
        thinned.append(run[lowest]);
        break;
      case Keep::Highest:
        thinned.append(run[highest]);
        break;
      case Keep::LowestAndHighest:
        thinned.append(run[std::min(lowest, highest)]);
        if (lowest != highest) {
          thinned.append(run[std::max(lowest, highest)]);
        }
        break;
    }
  }
  return thinned;
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
    span = {log.rows.empty() ? 0.0 : log.rows.front().seconds,
            log.rows.empty() ? 0.0 : log.rows.back().seconds};
  }
  const auto [from, to] = *span;
  double low = 0.0;
  double high = 0.0;
  bool any = false;
  const auto widen = [&](double value) {
    low = any ? std::min(low, value) : value;
    high = any ? std::max(high, value) : value;
    any = true;
  };
  for (int channel = 0; channel < kChannels; ++channel) {
    const int column = log.ColumnOf(channel);
    if (column < 0 || !ticked[static_cast<std::size_t>(channel)]) {
      continue;
    }
    const auto at = static_cast<std::size_t>(column);
    // Runs of good rows; a gap row ends one.
    std::vector<QList<QPointF>> means(1);
    std::vector<QList<QPointF>> lows(1);
    std::vector<QList<QPointF>> highs(1);
    for (const analysis::LogEntry& row : log.rows) {
      if (row.Gap()) {
        if (!means.back().isEmpty()) {
          means.emplace_back();
          lows.emplace_back();
          highs.emplace_back();
        }
        continue;
      }
      const analysis::LogFigures& f = volts ? row.volts[at] : row.codes[at];
      means.back().append(QPointF(row.seconds, f.mean));
      lows.back().append(QPointF(row.seconds, f.minimum));
      highs.back().append(QPointF(row.seconds, f.maximum));
      widen(f.minimum);
      widen(f.maximum);
    }
    if (means.back().isEmpty()) {
      means.pop_back();
    }
    const QColor colour = ChannelColour(channel);
    auto& lines = lines_[static_cast<std::size_t>(channel)];
    const std::size_t drawn = std::min(means.size(), kMaxLines);
    if (means.size() > drawn) {
      auto* points = new QScatterSeries;
      points->setColor(colour);
      points->setBorderColor(colour);
      points->setMarkerSize(kPointSize);
      for (std::size_t run = drawn; run < means.size(); ++run) {
        points->append(Thin(means[run], from, to, Keep::LowestAndHighest));
      }
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
        lower->replace(Thin(lows[run], from, to, Keep::Lowest));
        upper->replace(Thin(highs[run], from, to, Keep::Highest));
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
      line->replace(Thin(means[run], from, to, Keep::LowestAndHighest));
      // A run of one row has no line to draw: its point shows it.
      line->setPointsVisible(means[run].size() == 1);
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
