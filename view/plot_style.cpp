#include "view/plot_style.h"

#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QString>
#include <QValueAxis>
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace kx::view {
namespace {

// Ticks on a plot about a thousand pixels wide or six hundred high.
constexpr int kMostTicks = 8;
constexpr double kMarginFraction = 0.05;

}  // namespace

QColor ChannelColour(int channel) {
  static const std::array<QRgb, 16> kColours = {
      0x1f77b4, 0xff7f0e, 0x2ca02c, 0xd62728, 0x9467bd, 0x8c564b, 0xe377c2, 0x7f7f7f,
      0xbcbd22, 0x17becf, 0x000080, 0x800000, 0xff00ff, 0x008080, 0x000000, 0xb8860b};
  return QColor::fromRgb(kColours[static_cast<std::size_t>(channel) % kColours.size()]);
}

double RoundTickStep(double span, int most) {
  if (!(span > 0.0) || !std::isfinite(span) || most < 1) {
    return 1.0;
  }
  const double rough = span / most;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double multiple : {1.0, 2.0, 5.0}) {
    // A little slack: 0.3 / 3 must give 0.1, not 0.2.
    if (multiple * power >= rough * (1.0 - 1e-9)) {
      return multiple * power;
    }
  }
  return 10.0 * power;
}

void UseRoundTicks(QValueAxis* axis, double smallest) {
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0.0);
  const auto fit = [axis, smallest](qreal low, qreal high) {
    axis->setTickInterval(std::max(smallest, RoundTickStep(high - low, kMostTicks)));
  };
  QObject::connect(axis, &QValueAxis::rangeChanged, axis, fit);
  fit(axis->min(), axis->max());
}

void SetRoundRange(QValueAxis* axis, double low, double high) {
  if (axis->min() == low && axis->max() == high) {
    return;  // the ticks laid out again would cost a layout of the chart
  }
  axis->setTickType(QValueAxis::TicksFixed);
  axis->setRange(low, high);
  axis->setTickType(QValueAxis::TicksDynamic);
}

void WithTicksHeld(QChart* chart, const std::function<void()>& change) {
  std::vector<QValueAxis*> held;
  for (QAbstractAxis* axis : chart->axes()) {
    auto* values = qobject_cast<QValueAxis*>(axis);
    if (values != nullptr && values->tickType() == QValueAxis::TicksDynamic) {
      values->setTickType(QValueAxis::TicksFixed);
      held.push_back(values);
    }
  }
  change();
  for (QValueAxis* axis : held) {
    axis->setTickType(QValueAxis::TicksDynamic);
  }
}

QChart* NewChart(const QString& title) {
  auto* chart = new QChart;
  chart->setTitle(title);
  chart->legend()->setAlignment(Qt::AlignRight);
  chart->setAnimationOptions(QChart::NoAnimation);
  return chart;
}

QValueAxis* NewAxis(const QString& title, double smallest_step) {
  auto* axis = new QValueAxis;
  axis->setTitleText(title);
  axis->setLabelFormat(QStringLiteral("%g"));
  UseRoundTicks(axis, smallest_step);
  return axis;
}

void Attach(QChart* chart, QLineSeries* series, QValueAxis* x, QValueAxis* y) {
  chart->addSeries(series);
  series->attachAxis(x);
  series->attachAxis(y);
}

void FitAxis(QValueAxis* axis, double low, double high) {
  if (!(high > low)) {
    low -= 1.0;
    high += 1.0;
  }
  const double margin = (high - low) * kMarginFraction;
  SetRoundRange(axis, low - margin, high + margin);
}

}  // namespace kx::view
