#include "view/time_tab.h"

#include <QChart>
#include <QLineSeries>
#include <QList>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "view/chart_view.h"
#include "view/plot_style.h"

namespace kx::view {
namespace {

constexpr int kLogRedrawDelayMs = 30;
constexpr double kGrowthFraction = 10.0;

// One channel's entry in the pointer's readout, kept on one line when the
// readout wraps.
QString Unbroken(QString text) {
  return text.replace(QLatin1Char(' '), QChar(QChar::Nbsp));
}

}  // namespace

TimeTab::TimeTab(QWidget* parent) : ViewTab(parent) {
  chart_ = NewChart(tr("Samples"));
  x_ = NewAxis(tr("Sample set"));
  y_ = NewAxis(tr("Code"));
  chart_->addAxis(x_, Qt::AlignBottom);
  chart_->addAxis(y_, Qt::AlignLeft);
  for (int c = 0; c < kViewChannels; ++c) {
    auto* series = new QLineSeries;
    series->setName(QStringLiteral("ADC%1").arg(c));
    series->setUseOpenGL(false);
    Attach(chart_, series, x_, y_);
    // After Attach: adding a series gives it the theme's colour.
    series->setColor(ChannelColour(c));
    series_[static_cast<std::size_t>(c)] = series;
  }
  view_ = new ChartView(chart_, this);
  view_->setObjectName(QStringLiteral("timeView"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  connect(view_, &ChartView::PointerMoved, this, &TimeTab::ShowPointer);
  log_plot_ = std::make_unique<LogPlot>(chart_, x_, y_);
  // Zoom and pan only change the axis; the log's rows in view are drawn
  // again (from the levels, for the new width) once they stop.
  zoom_timer_.setSingleShot(true);
  zoom_timer_.setInterval(kLogRedrawDelayMs);
  connect(&zoom_timer_, &QTimer::timeout, this, &TimeTab::DrawLog);
  connect(x_, &QValueAxis::rangeChanged, this, [this] {
    if (document_ != nullptr && document_->Log() != nullptr && !fitting_) {
      zoom_timer_.start();
    }
  });
}

TimeTab::~TimeTab() = default;

QWidget* TimeTab::Picture() {
  return view_;
}

void TimeTab::Show(const ViewerDocument& document, const ViewSettings& settings) {
  // Another file or log: fitted to it whole.
  log_fit_.reset();
  Settle(document, settings);
}

void TimeTab::Grow(const ViewerDocument& document, const ViewSettings& settings) {
  document_ = &document;
  settings_ = settings;
  DrawLogRows(true);
}

void TimeTab::Settle(const ViewerDocument& document, const ViewSettings& settings) {
  document_ = &document;
  settings_ = settings;
  const bool log = document.Log() != nullptr;
  chart_->setTitle(log ? tr("Log") : tr("Samples"));
  x_->setTitleText(log ? tr("Seconds since start") : tr("Sample set"));
  y_->setTitleText(settings.volts ? tr("Volts") : tr("Code"));
  if (log) {
    for (QLineSeries* series : series_) {
      series->clear();
      series->setVisible(false);
    }
    DrawLog();
    return;
  }
  log_plot_->Clear();
  DrawCapture();
}

void TimeTab::DrawCapture() {
  const analysis::CaptureAnalysis& analysis = document_->Analysis();
  double low = 0.0;
  double high = 0.0;
  bool any = false;
  int samples = 0;
  for (int c = 0; c < kViewChannels; ++c) {
    QLineSeries* series = series_[static_cast<std::size_t>(c)];
    const bool shown = settings_.ticked[static_cast<std::size_t>(c)] &&
                       static_cast<std::size_t>(c) < analysis.channels.size();
    if (!shown) {
      series->clear();
      series->setVisible(false);
      continue;
    }
    const analysis::ChannelSamples& channel = analysis.channels[static_cast<std::size_t>(c)];
    const std::vector<double>& values = settings_.volts ? channel.volts : channel.values;
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(values.size()));
    for (std::size_t i = 0; i < values.size(); ++i) {
      points.append(QPointF(static_cast<double>(i), values[i]));
    }
    series->replace(points);
    series->setVisible(true);
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    if (lo != values.end()) {
      low = any ? std::min(low, *lo) : *lo;
      high = any ? std::max(high, *hi) : *hi;
      any = true;
    }
    samples = std::max(samples, static_cast<int>(values.size()));
  }
  SetRoundRange(x_, 0, std::max(1, samples - 1));
  FitAxis(y_, low, high);
}

void TimeTab::DrawLog() {
  DrawLogRows(false);
}

void TimeTab::DrawLogRows(bool growing) {
  const analysis::LogData* log = document_ == nullptr ? nullptr : document_->Log();
  if (log == nullptr) {
    return;
  }
  const bool volts = settings_.volts && log->HasVolts();
  const std::pair<double, double> shown{x_->min(), x_->max()};
  if (log_fit_ && shown != *log_fit_) {
    log_plot_->Draw(*log, settings_.ticked, volts, shown, growing);
    return;
  }
  const double first = log->Rows() == 0 ? 0.0 : log->seconds.front();
  const double last = log->Rows() == 0 ? 0.0 : log->seconds.back();
  std::pair<double, double> fit{first, std::max(last, first + log->layout.interval_seconds)};
  if (growing && log_fit_ && log_fit_->first == first) {
    // A growing log keeps its time axis while the new rows fit and then
    // takes a tenth more: the axis and the buckets stay put, and an
    // update only replaces the lines' points.
    fit.second =
        last <= log_fit_->second ? log_fit_->second : last + (last - first) / kGrowthFraction;
  }
  const auto [low, high] = log_plot_->Draw(*log, settings_.ticked, volts, fit, growing);
  fitting_ = true;
  if (std::pair<double, double>{x_->min(), x_->max()} != fit) {
    SetRoundRange(x_, fit.first, fit.second);
  }
  FitAxis(y_, low, high);
  fitting_ = false;
  log_fit_ = {x_->min(), x_->max()};
}

void TimeTab::ShowLogPointer(QPointF value) {
  const analysis::LogData& log = *document_->Log();
  const bool volts = settings_.volts;
  QString text = tr("%1 s, pointer at %2 %3")
                     .arg(value.x(), 0, 'f', 3)
                     .arg(value.y(), 0, 'f', volts ? 4 : 1)
                     .arg(volts ? tr("V") : tr("codes"));
  const std::vector<double>& seconds = log.seconds;
  // The row nearest the pointer in time.
  const auto after = std::lower_bound(seconds.begin(), seconds.end(), value.x());
  auto nearest = after;
  if (after == seconds.end() ||
      (after != seconds.begin() && value.x() - *std::prev(after) < *after - value.x())) {
    nearest = after == seconds.begin() ? after : std::prev(after);
  }
  if (nearest != seconds.end()) {
    const auto row = static_cast<std::size_t>(nearest - seconds.begin());
    text += tr("   row at %1 s (%2)")
                .arg(*nearest, 0, 'f', 3)
                .arg(QString::fromStdString(log.TimeUtc(row)));
    const bool gap = log.Gap(row);
    if (gap) {
      text += tr(": gap, link status %1").arg(log.GapStatus(row).value_or(0));
    }
    for (std::size_t c = 0; !gap && c < log.layout.channels.size(); ++c) {
      const int channel = log.layout.channels[c];
      if (!settings_.ticked[static_cast<std::size_t>(channel)]) {
        continue;
      }
      const double logged = log.Value(row, c);
      QString entry = tr("ADC%1 %2").arg(channel).arg(logged);
      if (log.HasVolts()) {
        entry += tr(" (%1 V)").arg(log.ValueVolts(logged, c), 0, 'f', 4);
      }
      text += QStringLiteral("   ") + Unbroken(entry);
    }
  }
  emit PointerText(text);
}

void TimeTab::ShowPointer(QPointF value) {
  if (document_ == nullptr) {
    return;
  }
  if (document_->Log() != nullptr) {
    ShowLogPointer(value);
    return;
  }
  const analysis::CaptureAnalysis& analysis = document_->Analysis();
  if (analysis.channels.empty()) {
    return;
  }
  const bool volts = settings_.volts;
  const long set = std::lround(value.x());
  QString text = tr("Set %1, pointer at %2 %3")
                     .arg(set)
                     .arg(value.y(), 0, 'f', volts ? 4 : 1)
                     .arg(volts ? tr("V") : tr("codes"));
  if (set >= 0 && static_cast<std::size_t>(set) < analysis.channels.front().codes.size()) {
    for (const analysis::ChannelSamples& channel : analysis.channels) {
      if (settings_.ticked[static_cast<std::size_t>(channel.channel)]) {
        const auto i = static_cast<std::size_t>(set);
        text += QStringLiteral("   ") + Unbroken(tr("ADC%1 %2 (%3 V)")
                                                     .arg(channel.channel)
                                                     .arg(channel.values[i])
                                                     .arg(channel.volts[i], 0, 'f', 4));
      }
    }
  }
  emit PointerText(text);
}

}  // namespace kx::view
