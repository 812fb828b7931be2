#include "view/spectrum_tab.h"

#include <QChart>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QList>
#include <QScatterSeries>
#include <QStringList>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "view/chart_view.h"
#include "view/histogram_tab.h"
#include "view/plot_style.h"

namespace kx::view {

SpectrumTab::SpectrumTab(analysis::WindowKind window, QWidget* parent) : ViewTab(parent) {
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  channel_ = new QComboBox(this);
  channel_->setObjectName(QStringLiteral("spectrumChannel"));
  window_ = new QComboBox(this);
  window_->setObjectName(QStringLiteral("windowBox"));
  window_->addItem(tr("Blackman-Harris"), static_cast<int>(analysis::WindowKind::BlackmanHarris));
  window_->addItem(tr("Hann"), static_cast<int>(analysis::WindowKind::Hann));
  window_->addItem(tr("Rectangular"), static_cast<int>(analysis::WindowKind::Rectangular));
  window_->setCurrentIndex(window_->findData(static_cast<int>(window)));
  figures_ = new QLabel(this);
  figures_->setObjectName(QStringLiteral("spectrumFigures"));
  figures_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Wrapped, the figures take the width there is instead of widening the
  // window when this tab is chosen.
  figures_->setWordWrap(true);
  top->addWidget(new QLabel(tr("Channel"), this));
  top->addWidget(channel_);
  top->addWidget(new QLabel(tr("Window"), this));
  top->addWidget(window_);
  top->addWidget(figures_, 1);
  chart_ = NewChart(tr("Spectrum"));
  chart_->legend()->hide();
  x_ = NewAxis(tr("Frequency (cycles per sample set)"));
  y_ = NewAxis(tr("dBFS"));
  chart_->addAxis(x_, Qt::AlignBottom);
  chart_->addAxis(y_, Qt::AlignLeft);
  series_ = new QLineSeries;
  Attach(chart_, series_, x_, y_);
  // The harmonics' peaks marked where the list below the controls says.
  harmonics_ = new QScatterSeries;
  harmonics_->setMarkerSize(8.0);
  harmonics_->setColor(ChannelColour(3));
  chart_->addSeries(harmonics_);
  harmonics_->attachAxis(x_);
  harmonics_->attachAxis(y_);
  view_ = new ChartView(chart_, this);
  view_->setObjectName(QStringLiteral("spectrumView"));
  layout->addLayout(top);
  layout->addWidget(view_, 1);
  connect(channel_, &QComboBox::currentIndexChanged, this, [this] { Draw(); });
  connect(window_, &QComboBox::currentIndexChanged, this, [this] { Draw(); });
}

QString SpectrumTab::Unsupported(ViewerDocument::Kind kind) const {
  return kind == ViewerDocument::Kind::Log ? NotForALog() : NotForAResult();
}

QWidget* SpectrumTab::Picture() {
  return view_;
}

double SpectrumTab::AxisFrequency(double cycles) const {
  return analysis::Hertz(cycles, sample_seconds_).value_or(cycles);
}

QString SpectrumTab::FrequencyText(double cycles) const {
  if (const std::optional<double> hertz = analysis::Hertz(cycles, sample_seconds_)) {
    return tr("%1 Hz").arg(*hertz, 0, 'f', 1);
  }
  return tr("%1 cycles per sample set").arg(cycles, 0, 'f', 5);
}

void SpectrumTab::Show(const ViewerDocument& document, const ViewSettings& /*settings*/) {
  document_ = &document;
  const analysis::OpenedCapture* capture = document.Capture();
  sample_seconds_ = capture != nullptr ? capture->sample_seconds : std::nullopt;
  x_->setTitleText(sample_seconds_
                       ? tr("Frequency (Hz, at the mean rate of the capture's host times: %1 "
                            "samples per second)")
                             .arg(1.0 / *sample_seconds_, 0, 'f', 1)
                       : tr("Frequency (cycles per sample set)"));
  if (capture != nullptr) {
    FillChannelBox(channel_, static_cast<int>(capture->file.columns.size()));
  }
  Draw();
}

void SpectrumTab::Draw() {
  const int channel = channel_->currentIndex();
  spectrum_.reset();
  const bool capture = document_ != nullptr && document_->Capture() != nullptr;
  const analysis::CaptureAnalysis* analysis = capture ? &document_->Analysis() : nullptr;
  if (analysis != nullptr && channel >= 0 &&
      static_cast<std::size_t>(channel) < analysis->channels.size()) {
    spectrum_ = analysis::AnalyseSpectrum(
        analysis->channels[static_cast<std::size_t>(channel)].values,
        static_cast<analysis::WindowKind>(window_->currentData().toInt()));
  }
  if (!spectrum_) {
    series_->clear();
    harmonics_->clear();
    figures_->setText(channel < 0 || !capture ? QString()
                                              : tr("ADC%1: no tone above DC").arg(channel));
    return;
  }
  const analysis::Spectrum& s = *spectrum_;
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(s.dbfs.size()));
  double lowest = 0.0;
  for (std::size_t k = 0; k < s.dbfs.size(); ++k) {
    const double db = std::max(s.dbfs[k], -200.0);
    points.append(QPointF(AxisFrequency(static_cast<double>(k) / s.samples), db));
    lowest = std::min(lowest, db);
  }
  series_->replace(points);
  QList<QPointF> peaks;
  QStringList listed;
  for (std::size_t h = 0; h < s.harmonic_bins.size(); ++h) {
    const double cycles = static_cast<double>(s.harmonic_bins[h]) / s.samples;
    peaks.append(QPointF(AxisFrequency(cycles), std::max(s.harmonic_dbfs[h], -200.0)));
    listed.append(tr("H%1 %2 dBFS at %3")
                      .arg(h + 2)
                      .arg(s.harmonic_dbfs[h], 0, 'f', 2)
                      .arg(FrequencyText(cycles)));
  }
  harmonics_->replace(peaks);
  SetRoundRange(x_, 0.0, AxisFrequency(0.5));
  SetRoundRange(y_, std::floor(lowest / 20.0) * 20.0, 10.0);
  figures_->setText(tr("Fundamental bin %1 (%2, %3 dBFS)   SNR %4 dB   SINAD %5 dB   THD %6 dB   "
                       "ENOB %7 bits   SFDR %8 dB (worst spur at %9)\nHarmonics: %10")
                        .arg(s.fundamental_bin)
                        .arg(FrequencyText(s.fundamental_frequency))
                        .arg(s.fundamental_dbfs, 0, 'f', 2)
                        .arg(s.snr_db, 0, 'f', 2)
                        .arg(s.sinad_db, 0, 'f', 2)
                        .arg(s.thd_db, 0, 'f', 2)
                        .arg(s.enob_bits, 0, 'f', 2)
                        .arg(s.sfdr_db, 0, 'f', 2)
                        .arg(FrequencyText(s.spur_frequency))
                        .arg(listed.join(QStringLiteral(", "))));
}

}  // namespace kx::view
