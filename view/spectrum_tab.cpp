#include "view/spectrum_tab.h"

#include <QChart>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QList>
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
  view_ = new ChartView(chart_, this);
  view_->setObjectName(QStringLiteral("spectrumView"));
  layout->addLayout(top);
  layout->addWidget(view_, 1);
  connect(channel_, &QComboBox::currentIndexChanged, this, [this] { Draw(); });
  connect(window_, &QComboBox::currentIndexChanged, this, [this] { Draw(); });
}

QString SpectrumTab::Unsupported(ViewerDocument::Kind kind) const {
  return kind == ViewerDocument::Kind::Log ? NotForALog() : QString();
}

QWidget* SpectrumTab::Picture() {
  return view_;
}

void SpectrumTab::Show(const ViewerDocument& document, const ViewSettings& /*settings*/) {
  document_ = &document;
  if (document.Capture() != nullptr) {
    FillChannelBox(channel_, static_cast<int>(document.Capture()->file.columns.size()));
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
    figures_->setText(channel < 0 || !capture ? QString()
                                              : tr("ADC%1: no tone above DC").arg(channel));
    return;
  }
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(spectrum_->dbfs.size()));
  double lowest = 0.0;
  for (std::size_t k = 0; k < spectrum_->dbfs.size(); ++k) {
    const double db = std::max(spectrum_->dbfs[k], -200.0);
    points.append(QPointF(static_cast<double>(k) / spectrum_->samples, db));
    lowest = std::min(lowest, db);
  }
  series_->replace(points);
  SetRoundRange(x_, 0.0, 0.5);
  SetRoundRange(y_, std::floor(lowest / 20.0) * 20.0, 10.0);
  figures_->setText(tr("Fundamental bin %1 (%2 cycles per sample set, %3 dBFS)   SNR %4 dB   "
                       "SINAD %5 dB   THD %6 dB   ENOB %7 bits")
                        .arg(spectrum_->fundamental_bin)
                        .arg(spectrum_->fundamental_frequency, 0, 'f', 5)
                        .arg(spectrum_->fundamental_dbfs, 0, 'f', 2)
                        .arg(spectrum_->snr_db, 0, 'f', 2)
                        .arg(spectrum_->sinad_db, 0, 'f', 2)
                        .arg(spectrum_->thd_db, 0, 'f', 2)
                        .arg(spectrum_->enob_bits, 0, 'f', 2));
}

}  // namespace kx::view
