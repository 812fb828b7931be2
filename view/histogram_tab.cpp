#include "view/histogram_tab.h"

#include <QChart>
#include <QComboBox>
#include <QLegend>
#include <QLineSeries>
#include <QList>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

#include "analysis/channel_stats.h"
#include "view/chart_view.h"
#include "view/plot_style.h"

namespace kx::view {
namespace {

constexpr double kMarginFraction = 0.05;

}  // namespace

QString NotForALog() {
  return QObject::tr(
      "Not for a log: its rows are not evenly spaced samples (gaps, averaged reads)");
}

void FillChannelBox(QComboBox* box, int channels) {
  const QSignalBlocker block(box);
  const int chosen = std::max(0, box->currentIndex());
  box->clear();
  for (int c = 0; c < channels; ++c) {
    box->addItem(QStringLiteral("ADC%1").arg(c));
  }
  box->setCurrentIndex(std::min(chosen, channels - 1));
}

HistogramTab::HistogramTab(QWidget* parent) : ViewTab(parent) {
  auto* layout = new QVBoxLayout(this);
  channel_ = new QComboBox(this);
  channel_->setObjectName(QStringLiteral("histogramChannel"));
  chart_ = NewChart(tr("Code histogram"));
  chart_->legend()->hide();
  x_ = NewAxis(tr("Code"), 1.0);
  y_ = NewAxis(tr("Samples"), 1.0);
  chart_->addAxis(x_, Qt::AlignBottom);
  chart_->addAxis(y_, Qt::AlignLeft);
  series_ = new QLineSeries;
  Attach(chart_, series_, x_, y_);
  view_ = new ChartView(chart_, this);
  view_->setObjectName(QStringLiteral("histogramView"));
  layout->addWidget(channel_);
  layout->addWidget(view_, 1);
  connect(channel_, &QComboBox::currentIndexChanged, this, [this] { Draw(); });
}

QString HistogramTab::Unsupported(ViewerDocument::Kind kind) const {
  return kind == ViewerDocument::Kind::Log ? NotForALog() : NotForAResult();
}

QWidget* HistogramTab::Picture() {
  return view_;
}

void HistogramTab::Show(const ViewerDocument& document, const ViewSettings& /*settings*/) {
  document_ = &document;
  if (document.Capture() != nullptr) {
    FillChannelBox(channel_, static_cast<int>(document.Capture()->file.columns.size()));
  }
  Draw();
}

void HistogramTab::Draw() {
  const int channel = channel_->currentIndex();
  const analysis::CaptureAnalysis* analysis =
      document_ != nullptr && document_->Capture() != nullptr ? &document_->Analysis() : nullptr;
  if (analysis == nullptr || channel < 0 ||
      static_cast<std::size_t>(channel) >= analysis->channels.size()) {
    series_->clear();
    return;
  }
  const analysis::ChannelSamples& samples = analysis->channels[static_cast<std::size_t>(channel)];
  const analysis::CodeHistogram histogram = analysis::Histogram(samples.values);
  QList<QPointF> points;
  const double first = histogram.first_code - 0.5;
  points.append(QPointF(first, 0));
  int most = 0;
  for (std::size_t i = 0; i < histogram.counts.size(); ++i) {
    const double left = first + static_cast<double>(i);
    points.append(QPointF(left, histogram.counts[i]));
    points.append(QPointF(left + 1.0, histogram.counts[i]));
    most = std::max(most, histogram.counts[i]);
  }
  points.append(QPointF(first + static_cast<double>(histogram.counts.size()), 0));
  series_->replace(points);
  chart_->setTitle(tr("How often each code came in the %1 samples of ADC%2 (codes %3 to %4)")
                       .arg(samples.values.size())
                       .arg(channel)
                       .arg(histogram.first_code)
                       .arg(histogram.first_code + static_cast<int>(histogram.counts.size()) - 1));
  FitAxis(x_, first, first + static_cast<double>(histogram.counts.size()));
  SetRoundRange(y_, 0, most * (1.0 + kMarginFraction));
}

}  // namespace kx::view
