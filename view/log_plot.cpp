#include "view/log_plot.h"

#include <QAreaSeries>
#include <QChart>
#include <QColor>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QList>
#include <QPen>
#include <QValueAxis>
#include <algorithm>

namespace kx::view {
namespace {

constexpr int kBandAlpha = 60;

// One colour per channel, the same for all its lines and its band.
QColor ChannelColour(int channel) {
  return QColor::fromHsv(channel * 360 / LogPlot::kChannels, 220, 200);
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
      delete band;  // owns its upper and lower lines
    }
    bands.clear();
  }
}

std::pair<double, double> LogPlot::Draw(const analysis::LogData& log,
                                        const std::array<bool, kChannels>& ticked, bool volts) {
  Clear();
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
    for (std::size_t run = 0; run < means.size(); ++run) {
      if (log.layout.Averaged()) {
        auto* lower = new QLineSeries;
        auto* upper = new QLineSeries;
        lower->replace(lows[run]);
        upper->replace(highs[run]);
        auto* band = new QAreaSeries(upper, lower);
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
      line->replace(means[run]);
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
