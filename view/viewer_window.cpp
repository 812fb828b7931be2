#include "view/viewer_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QList>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "adc/sample_file.h"
#include "view/chart_view.h"
#include "view/log_plot.h"
#include "view/plot_style.h"

namespace kx::view {
namespace {

constexpr double kReferenceMinimum = 0.01;
constexpr double kReferenceMaximum = 5.0;
constexpr int kReloadDelayMs = 100;
constexpr int kLogRedrawDelayMs = 30;
constexpr double kMarginFraction = 0.05;

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

QValueAxis* Axis(const QString& title, double smallest_step = 0.0) {
  auto* axis = new QValueAxis;
  axis->setTitleText(title);
  axis->setLabelFormat(QStringLiteral("%g"));
  UseRoundTicks(axis, smallest_step);
  return axis;
}

QChart* NewChart(const QString& title) {
  auto* chart = new QChart;
  chart->setTitle(title);
  chart->legend()->setAlignment(Qt::AlignRight);
  chart->setAnimationOptions(QChart::NoAnimation);
  return chart;
}

void Attach(QChart* chart, QLineSeries* series, QValueAxis* x, QValueAxis* y) {
  chart->addSeries(series);
  series->attachAxis(x);
  series->attachAxis(y);
}

// One channel's entry in the pointer's readout, kept on one line when the
// readout wraps.
QString Unbroken(QString text) {
  return text.replace(QLatin1Char(' '), QChar(QChar::Nbsp));
}

// A range with a little room on both sides; a flat line gets one unit.
void FitAxis(QValueAxis* axis, double low, double high) {
  if (!(high > low)) {
    low -= 1.0;
    high += 1.0;
  }
  const double margin = (high - low) * kMarginFraction;
  SetRoundRange(axis, low - margin, high + margin);
}

}  // namespace

ViewerWindow::ViewerWindow(const analysis::ScaleChoice& choice, analysis::WindowKind window,
                           QWidget* parent)
    : QMainWindow(parent), choice_(choice) {
  setWindowTitle(QStringLiteral("kx7312-view"));
  BuildControls();
  BuildTabs();
  log_plot_ = std::make_unique<LogPlot>(time_chart_, time_x_, time_y_);
  window_box_->setCurrentIndex(window_box_->findData(static_cast<int>(window)));
  ApplyScaleToControls();
  reload_timer_.setSingleShot(true);
  reload_timer_.setInterval(kReloadDelayMs);
  connect(&reload_timer_, &QTimer::timeout, this, &ViewerWindow::Reload);
  // Zoom and pan only change the axis; the log's rows in view are drawn
  // again (thinned to the new width) once they stop.
  log_zoom_timer_.setSingleShot(true);
  log_zoom_timer_.setInterval(kLogRedrawDelayMs);
  connect(&log_zoom_timer_, &QTimer::timeout, this, &ViewerWindow::DrawLog);
  connect(time_x_, &QValueAxis::rangeChanged, this, [this] {
    if (log_ && !fitting_) {
      log_zoom_timer_.start();
    }
  });
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &ViewerWindow::FollowedPathChanged);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this,
          &ViewerWindow::FollowedPathChanged);
  resize(1000, 680);
}

ViewerWindow::~ViewerWindow() = default;

void ViewerWindow::BuildControls() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);

  auto* top = new QHBoxLayout;
  auto* open = new QPushButton(tr("&Open..."), central);
  open->setObjectName(QStringLiteral("openButton"));
  connect(open, &QPushButton::clicked, this, [this] {
    const QString path =
        QFileDialog::getOpenFileName(this, tr("Open a capture or log file"), path_);
    if (!path.isEmpty()) {
      OpenFile(path);
    }
  });
  top->addWidget(open);

  range_box_ = new QComboBox(central);
  range_box_->setObjectName(QStringLiteral("rangeBox"));
  range_box_->addItems({QStringLiteral("0V to 2xVREFA"), QStringLiteral("0V to VREFA")});
  coding_box_ = new QComboBox(central);
  coding_box_->setObjectName(QStringLiteral("codingBox"));
  coding_box_->addItems({QStringLiteral("2's Compliment"), QStringLiteral("Straight Binary")});
  reference_box_ = new QDoubleSpinBox(central);
  reference_box_->setObjectName(QStringLiteral("referenceBox"));
  reference_box_->setRange(kReferenceMinimum, kReferenceMaximum);
  reference_box_->setDecimals(3);
  reference_box_->setSingleStep(0.01);
  reference_box_->setSuffix(QStringLiteral(" V"));
  top->addWidget(new QLabel(tr("Range"), central));
  top->addWidget(range_box_);
  top->addWidget(new QLabel(tr("Coding"), central));
  top->addWidget(coding_box_);
  top->addWidget(new QLabel(tr("Reference"), central));
  top->addWidget(reference_box_);
  connect(range_box_, &QComboBox::currentIndexChanged, this, &ViewerWindow::ScaleControlsChanged);
  connect(coding_box_, &QComboBox::currentIndexChanged, this, &ViewerWindow::ScaleControlsChanged);
  connect(reference_box_, &QDoubleSpinBox::valueChanged, this, &ViewerWindow::ScaleControlsChanged);

  units_box_ = new QComboBox(central);
  units_box_->setObjectName(QStringLiteral("unitsBox"));
  units_box_->addItems({QStringLiteral("Codes"), QStringLiteral("Volts")});
  connect(units_box_, &QComboBox::currentIndexChanged, this, [this] { DrawTime(); });
  top->addWidget(new QLabel(tr("Show"), central));
  top->addWidget(units_box_);

  auto* png = new QPushButton(tr("Export &PNG..."), central);
  png->setObjectName(QStringLiteral("exportPngButton"));
  connect(png, &QPushButton::clicked, this, [this] {
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Export the plot"), {}, tr("PNG (*.png)"));
    if (!path.isEmpty() && !ExportPng(path)) {
      ShowError(tr("The plot could not be saved to \"%1\".").arg(path), true);
    }
  });
  auto* csv = new QPushButton(tr("Export &CSV..."), central);
  csv->setObjectName(QStringLiteral("exportCsvButton"));
  connect(csv, &QPushButton::clicked, this, [this] {
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Export the data"), {}, tr("CSV (*.csv)"));
    if (path.isEmpty()) {
      return;
    }
    if (const auto error = ExportCsv(path)) {
      ShowError(Text(*error), true);
    }
  });
  top->addStretch();
  top->addWidget(png);
  top->addWidget(csv);
  layout->addLayout(top);

  scale_source_ = new QLabel(central);
  scale_source_->setObjectName(QStringLiteral("scaleSource"));
  layout->addWidget(scale_source_);

  auto* ticks = new QGridLayout;
  for (int c = 0; c < kChannels; ++c) {
    auto* box = new QCheckBox(QStringLiteral("ADC%1").arg(c), central);
    box->setObjectName(QStringLiteral("channel%1").arg(c));
    box->setChecked(true);
    connect(box, &QCheckBox::toggled, this, [this] { DrawTime(); });
    channel_boxes_[static_cast<std::size_t>(c)] = box;
    ticks->addWidget(box, 0, c);
  }
  layout->addLayout(ticks);

  tabs_ = new QTabWidget(central);
  tabs_->setObjectName(QStringLiteral("views"));
  layout->addWidget(tabs_, 1);

  // Sixteen channels' values take two or three lines: a wrapped label of
  // its own, high enough for them, rather than a part of the status bar.
  cursor_label_ = new QLabel(central);
  cursor_label_->setObjectName(QStringLiteral("cursorReadout"));
  cursor_label_->setWordWrap(true);
  cursor_label_->setMinimumHeight(3 * cursor_label_->fontMetrics().lineSpacing());
  cursor_label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  cursor_label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(cursor_label_);
  setCentralWidget(central);
}

void ViewerWindow::BuildTabs() {
  // Time
  time_chart_ = NewChart(tr("Samples"));
  time_x_ = Axis(tr("Sample set"));
  time_y_ = Axis(tr("Code"));
  time_chart_->addAxis(time_x_, Qt::AlignBottom);
  time_chart_->addAxis(time_y_, Qt::AlignLeft);
  for (int c = 0; c < kChannels; ++c) {
    auto* series = new QLineSeries;
    series->setName(QStringLiteral("ADC%1").arg(c));
    series->setUseOpenGL(false);
    Attach(time_chart_, series, time_x_, time_y_);
    // After Attach: adding a series gives it the theme's colour.
    series->setColor(ChannelColour(c));
    time_series_[static_cast<std::size_t>(c)] = series;
  }
  time_view_ = new ChartView(time_chart_);
  time_view_->setObjectName(QStringLiteral("timeView"));
  connect(time_view_, &ChartView::PointerMoved, this, &ViewerWindow::ShowPointer);
  tabs_->addTab(time_view_, tr("Time"));

  // Histogram
  auto* histogram_page = new QWidget;
  auto* histogram_layout = new QVBoxLayout(histogram_page);
  histogram_channel_ = new QComboBox(histogram_page);
  histogram_channel_->setObjectName(QStringLiteral("histogramChannel"));
  histogram_chart_ = NewChart(tr("Code histogram"));
  histogram_chart_->legend()->hide();
  histogram_x_ = Axis(tr("Code"), 1.0);
  histogram_y_ = Axis(tr("Samples"), 1.0);
  histogram_chart_->addAxis(histogram_x_, Qt::AlignBottom);
  histogram_chart_->addAxis(histogram_y_, Qt::AlignLeft);
  histogram_series_ = new QLineSeries;
  Attach(histogram_chart_, histogram_series_, histogram_x_, histogram_y_);
  histogram_view_ = new ChartView(histogram_chart_, histogram_page);
  histogram_view_->setObjectName(QStringLiteral("histogramView"));
  histogram_layout->addWidget(histogram_channel_);
  histogram_layout->addWidget(histogram_view_, 1);
  connect(histogram_channel_, &QComboBox::currentIndexChanged, this, [this] { DrawHistogram(); });
  tabs_->addTab(histogram_page, tr("Histogram"));

  // Statistics
  stats_table_ = new QTableWidget(0, 7);
  stats_table_->setObjectName(QStringLiteral("statistics"));
  stats_table_->setHorizontalHeaderLabels({tr("Channel"), tr("Mean code"), tr("Std dev (LSB)"),
                                           tr("Peak-to-peak"), tr("Min"), tr("Max"),
                                           tr("Mean volts")});
  stats_table_->verticalHeader()->hide();
  stats_table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  stats_table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  tabs_->addTab(stats_table_, tr("Statistics"));

  // Spectrum
  auto* spectrum_page = new QWidget;
  auto* spectrum_layout = new QVBoxLayout(spectrum_page);
  auto* spectrum_top = new QHBoxLayout;
  spectrum_channel_ = new QComboBox(spectrum_page);
  spectrum_channel_->setObjectName(QStringLiteral("spectrumChannel"));
  window_box_ = new QComboBox(spectrum_page);
  window_box_->setObjectName(QStringLiteral("windowBox"));
  window_box_->addItem(tr("Blackman-Harris"),
                       static_cast<int>(analysis::WindowKind::BlackmanHarris));
  window_box_->addItem(tr("Hann"), static_cast<int>(analysis::WindowKind::Hann));
  window_box_->addItem(tr("Rectangular"), static_cast<int>(analysis::WindowKind::Rectangular));
  figures_ = new QLabel(spectrum_page);
  figures_->setObjectName(QStringLiteral("spectrumFigures"));
  figures_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Wrapped, the figures take the width there is instead of widening the
  // window when this tab is chosen.
  figures_->setWordWrap(true);
  spectrum_top->addWidget(new QLabel(tr("Channel"), spectrum_page));
  spectrum_top->addWidget(spectrum_channel_);
  spectrum_top->addWidget(new QLabel(tr("Window"), spectrum_page));
  spectrum_top->addWidget(window_box_);
  spectrum_top->addWidget(figures_, 1);
  spectrum_chart_ = NewChart(tr("Spectrum"));
  spectrum_chart_->legend()->hide();
  spectrum_x_ = Axis(tr("Frequency (cycles per sample set)"));
  spectrum_y_ = Axis(tr("dBFS"));
  spectrum_chart_->addAxis(spectrum_x_, Qt::AlignBottom);
  spectrum_chart_->addAxis(spectrum_y_, Qt::AlignLeft);
  spectrum_series_ = new QLineSeries;
  Attach(spectrum_chart_, spectrum_series_, spectrum_x_, spectrum_y_);
  spectrum_view_ = new ChartView(spectrum_chart_, spectrum_page);
  spectrum_view_->setObjectName(QStringLiteral("spectrumView"));
  spectrum_layout->addLayout(spectrum_top);
  spectrum_layout->addWidget(spectrum_view_, 1);
  connect(spectrum_channel_, &QComboBox::currentIndexChanged, this, [this] { DrawSpectrum(); });
  connect(window_box_, &QComboBox::currentIndexChanged, this, [this] { DrawSpectrum(); });
  tabs_->addTab(spectrum_page, tr("Spectrum"));
}

bool ViewerWindow::VoltsShown() const {
  return units_box_->currentIndex() == 1;
}

// The controls show the scale in use; the metadata's values cannot be
// changed there, since they are what the capture was taken with.
void ViewerWindow::ApplyScaleToControls() {
  updating_controls_ = true;
  units_box_->setEnabled(!log_ || log_->HasVolts());
  if (log_) {
    // A log records the scale it was read with; nothing here can change it.
    const logger::LogLayout& layout = log_->layout;
    range_box_->setCurrentIndex(layout.half_span ? 1 : 0);
    coding_box_->setCurrentIndex(layout.straight_binary.value_or(true) ? 1 : 0);
    reference_box_->setValue(layout.reference_volts.value_or(reference_box_->value()));
    for (QWidget* box : std::initializer_list<QWidget*>{range_box_, coding_box_, reference_box_}) {
      box->setEnabled(false);
    }
    QString source = tr("Range, coding and reference from the log's first line (%1 program)")
                         .arg(Text(layout.edition));
    if (!log_->HasVolts()) {
      source += tr("; no volts: the classic program logs codes only");
      units_box_->setCurrentIndex(0);
    }
    source += tr("; no histogram or spectrum: a log's rows are not evenly spaced samples");
    scale_source_->setText(source);
    updating_controls_ = false;
    return;
  }
  const analysis::CaptureScale scale =
      capture_ ? capture_->scale
               : analysis::CaptureScale{AdcWordRules::Version2, choice_.half_span.value_or(false),
                                        choice_.straight_binary.value_or(false),
                                        choice_.reference.value_or(2.5)};
  range_box_->setCurrentIndex(scale.half_span ? 1 : 0);
  coding_box_->setCurrentIndex(scale.straight_binary ? 1 : 0);
  reference_box_->setValue(scale.reference);
  const bool fixed_by_file = capture_ && capture_->from_metadata;
  const bool channel0 = capture_ && capture_->file.kind == analysis::CaptureKind::Channel0;
  range_box_->setEnabled(!fixed_by_file && !channel0);
  coding_box_->setEnabled(!fixed_by_file && !channel0);
  reference_box_->setEnabled(!fixed_by_file);
  QString source;
  if (!capture_) {
    source = tr("No capture open");
  } else if (fixed_by_file) {
    // The command line's choices win over the metadata's; say which is which.
    source = Text(analysis::ScaleSource(*capture_, adc::MetadataPath(capture_->path)));
    source = source.startsWith(QStringLiteral("from "))
                 ? tr("Range, coding and reference %1").arg(source)
                 : source.left(1).toUpper() + source.mid(1);
  } else {
    source = tr("No metadata file beside the capture: range, coding and reference as set here");
    if (!capture_->metadata_note.empty()) {
      source += tr(" (%1)").arg(Text(capture_->metadata_note));
    }
  }
  if (channel0) {
    source += tr("; a channel-0 capture is always \"0V to 2xVREFA\", \"Straight Binary\"");
  }
  scale_source_->setText(source);
  updating_controls_ = false;
}

void ViewerWindow::ScaleControlsChanged() {
  if (updating_controls_ || log_) {
    return;
  }
  choice_.half_span = range_box_->currentIndex() == 1;
  choice_.straight_binary = coding_box_->currentIndex() == 1;
  choice_.reference = reference_box_->value();
  if (capture_ && !capture_->from_metadata) {
    capture_->scale = analysis::DecideScale(capture_->file, nullptr, choice_);
    Recompute();
  }
}

bool ViewerWindow::OpenFile(const QString& path) {
  if (analysis::FileStartsAsLog(path.toStdString())) {
    return OpenLog(path);
  }
  analysis::OpenResult opened = analysis::OpenCapture(path.toStdString(), choice_);
  if (!opened.capture) {
    ShowError(Text(opened.error), !follow_ || path != path_);
    return false;
  }
  const bool same_kind = capture_ && capture_->file.kind == opened.capture->file.kind;
  capture_ = std::move(opened.capture);
  log_.reset();
  if (path != path_) {
    path_ = path;
    if (follow_) {
      SetFollow(true);
    }
  }
  setWindowTitle(QStringLiteral("kx7312-view - %1").arg(QFileInfo(path).fileName()));
  const int columns = static_cast<int>(capture_->file.columns.size());
  std::vector<int> channels(static_cast<std::size_t>(columns));
  for (int c = 0; c < columns; ++c) {
    channels[static_cast<std::size_t>(c)] = c;
  }
  SetChannelBoxes(channels, !same_kind);
  const int histogram = std::max(0, histogram_channel_->currentIndex());
  const int spectrum = std::max(0, spectrum_channel_->currentIndex());
  for (QComboBox* box : {histogram_channel_, spectrum_channel_}) {
    const QSignalBlocker block(box);
    box->clear();
    for (int c = 0; c < columns; ++c) {
      box->addItem(QStringLiteral("ADC%1").arg(c));
    }
  }
  {
    const QSignalBlocker block_h(histogram_channel_);
    const QSignalBlocker block_s(spectrum_channel_);
    histogram_channel_->setCurrentIndex(std::min(histogram, columns - 1));
    spectrum_channel_->setCurrentIndex(std::min(spectrum, columns - 1));
  }
  ShowKind();
  ApplyScaleToControls();
  Recompute();
  statusBar()->showMessage(
      tr("%1: %2 capture, %3 samples per channel")
          .arg(path, QString::fromLatin1(analysis::KindName(capture_->file.kind)))
          .arg(capture_->file.Samples()));
  return true;
}

bool ViewerWindow::OpenLog(const QString& path) {
  analysis::LogRead read = analysis::ReadLogFile(path.toStdString());
  if (!read.log) {
    ShowError(Text(read.error), !follow_ || path != path_);
    return false;
  }
  const bool was_log = log_.has_value();
  log_ = std::move(read.log);
  log_fit_.reset();
  capture_.reset();
  analysis_ = {};
  if (path != path_) {
    path_ = path;
    if (follow_) {
      SetFollow(true);
    }
  }
  setWindowTitle(QStringLiteral("kx7312-view - %1").arg(QFileInfo(path).fileName()));
  SetChannelBoxes(log_->layout.channels, !was_log);
  ShowKind();
  ApplyScaleToControls();
  Recompute();
  statusBar()->showMessage(LogStatus());
  return true;
}

void ViewerWindow::SetChannelBoxes(const std::vector<int>& channels, bool tick_all) {
  for (int c = 0; c < kChannels; ++c) {
    QCheckBox* box = channel_boxes_[static_cast<std::size_t>(c)];
    const QSignalBlocker block(box);
    const bool present = std::find(channels.begin(), channels.end(), c) != channels.end();
    box->setEnabled(present);
    if (!present) {
      box->setChecked(false);
    } else if (tick_all) {
      box->setChecked(true);
    }
  }
}

// What the tabs and the time axis show for the kind of file open.
void ViewerWindow::ShowKind() {
  const bool log = log_.has_value();
  const int histogram_tab = tabs_->indexOf(histogram_view_->parentWidget());
  const int spectrum_tab = tabs_->indexOf(spectrum_view_->parentWidget());
  const QString reason =
      log ? tr("Not for a log: its rows are not evenly spaced samples (gaps, averaged reads)")
          : QString();
  for (const int tab : {histogram_tab, spectrum_tab}) {
    tabs_->setTabEnabled(tab, !log);
    tabs_->setTabToolTip(tab, reason);
  }
  if (log && (tabs_->currentIndex() == histogram_tab || tabs_->currentIndex() == spectrum_tab)) {
    tabs_->setCurrentIndex(0);
  }
  time_chart_->setTitle(log ? tr("Log") : tr("Samples"));
  time_x_->setTitleText(log ? tr("Seconds since start") : tr("Sample set"));
  if (log) {
    stats_table_->setHorizontalHeaderLabels(
        {tr("Channel"), tr("Rows"), log_->layout.Averaged() ? tr("Mean of means") : tr("Mean code"),
         tr("Std dev (LSB)"), tr("Min"), tr("Max"), tr("Mean volts")});
  } else {
    stats_table_->setHorizontalHeaderLabels({tr("Channel"), tr("Mean code"), tr("Std dev (LSB)"),
                                             tr("Peak-to-peak"), tr("Min"), tr("Max"),
                                             tr("Mean volts")});
  }
}

void ViewerWindow::Recompute() {
  if (log_) {
    log_stats_ = analysis::LogStatistics(*log_);
    spectrum_.reset();
    histogram_series_->clear();
    spectrum_series_->clear();
    figures_->clear();
    DrawTime();
    DrawStatistics();
    return;
  }
  if (!capture_) {
    return;
  }
  analysis_ = analysis::Analyse(capture_->file, capture_->scale);
  DrawTime();
  DrawHistogram();
  DrawStatistics();
  DrawSpectrum();
}

void ViewerWindow::DrawTime() {
  const bool volts = VoltsShown();
  time_y_->setTitleText(volts ? tr("Volts") : tr("Code"));
  if (log_) {
    for (QLineSeries* series : time_series_) {
      series->clear();
      series->setVisible(false);
    }
    DrawLog();
    return;
  }
  log_plot_->Clear();
  double low = 0.0;
  double high = 0.0;
  bool any = false;
  int samples = 0;
  for (int c = 0; c < kChannels; ++c) {
    QLineSeries* series = time_series_[static_cast<std::size_t>(c)];
    const bool shown = channel_boxes_[static_cast<std::size_t>(c)]->isChecked() &&
                       static_cast<std::size_t>(c) < analysis_.channels.size();
    if (!shown) {
      series->clear();
      series->setVisible(false);
      continue;
    }
    const analysis::ChannelSamples& channel = analysis_.channels[static_cast<std::size_t>(c)];
    const std::vector<double>& values = volts ? channel.volts : channel.values;
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
  SetRoundRange(time_x_, 0, std::max(1, samples - 1));
  FitAxis(time_y_, low, high);
}

void ViewerWindow::DrawLog() {
  if (!log_) {
    return;
  }
  std::array<bool, kChannels> ticked{};
  for (int c = 0; c < kChannels; ++c) {
    ticked[static_cast<std::size_t>(c)] = channel_boxes_[static_cast<std::size_t>(c)]->isChecked();
  }
  const bool volts = VoltsShown() && log_->HasVolts();
  const std::pair<double, double> shown{time_x_->min(), time_x_->max()};
  if (log_fit_ && shown != *log_fit_) {
    log_plot_->Draw(*log_, ticked, volts, shown);
    return;
  }
  const auto [low, high] = log_plot_->Draw(*log_, ticked, volts);
  const double first = log_->Rows() == 0 ? 0.0 : log_->seconds.front();
  const double last = log_->Rows() == 0 ? 0.0 : log_->seconds.back();
  fitting_ = true;
  SetRoundRange(time_x_, first, std::max(last, first + log_->layout.interval_seconds));
  FitAxis(time_y_, low, high);
  fitting_ = false;
  log_fit_ = {time_x_->min(), time_x_->max()};
}

void ViewerWindow::DrawHistogram() {
  const int channel = histogram_channel_->currentIndex();
  if (channel < 0 || static_cast<std::size_t>(channel) >= analysis_.channels.size()) {
    histogram_series_->clear();
    return;
  }
  const analysis::CodeHistogram histogram =
      analysis::Histogram(analysis_.channels[static_cast<std::size_t>(channel)].values);
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
  histogram_series_->replace(points);
  histogram_chart_->setTitle(
      tr("How often each code came in the %1 samples of ADC%2 (codes %3 to %4)")
          .arg(analysis_.channels[static_cast<std::size_t>(channel)].values.size())
          .arg(channel)
          .arg(histogram.first_code)
          .arg(histogram.first_code + static_cast<int>(histogram.counts.size()) - 1));
  FitAxis(histogram_x_, first, first + static_cast<double>(histogram.counts.size()));
  SetRoundRange(histogram_y_, 0, most * (1.0 + kMarginFraction));
}

void ViewerWindow::DrawStatistics() {
  if (log_) {
    const int decimals = log_->layout.Averaged() ? 3 : 0;
    stats_table_->setRowCount(static_cast<int>(log_stats_.channels.size()));
    for (std::size_t i = 0; i < log_stats_.channels.size(); ++i) {
      const analysis::LogChannelStats& s = log_stats_.channels[i];
      const QStringList cells = {
          QStringLiteral("ADC%1").arg(s.channel),
          QString::number(s.count),
          QString::number(s.mean, 'f', 3),
          QString::number(s.std_dev, 'f', 3),
          QString::number(s.minimum, 'f', decimals),
          QString::number(s.maximum, 'f', decimals),
          s.mean_volts ? QString::number(*s.mean_volts, 'f', 4) : QStringLiteral("-")};
      for (int column = 0; column < cells.size(); ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        stats_table_->setItem(static_cast<int>(i), column, item);
      }
    }
    return;
  }
  stats_table_->setRowCount(static_cast<int>(analysis_.stats.size()));
  for (std::size_t i = 0; i < analysis_.stats.size(); ++i) {
    const analysis::ChannelStats& s = analysis_.stats[i];
    const QStringList cells = {QStringLiteral("ADC%1").arg(analysis_.channels[i].channel),
                               QString::number(s.mean_code, 'f', 3),
                               QString::number(s.std_dev_lsb, 'f', 3),
                               QString::number(s.peak_to_peak),
                               QString::number(s.min_code),
                               QString::number(s.max_code),
                               QString::number(s.mean_volts, 'f', 4)};
    for (int column = 0; column < cells.size(); ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      stats_table_->setItem(static_cast<int>(i), column, item);
    }
  }
}

void ViewerWindow::DrawSpectrum() {
  const int channel = spectrum_channel_->currentIndex();
  spectrum_.reset();
  if (channel >= 0 && static_cast<std::size_t>(channel) < analysis_.channels.size()) {
    spectrum_ = analysis::AnalyseSpectrum(
        analysis_.channels[static_cast<std::size_t>(channel)].values,
        static_cast<analysis::WindowKind>(window_box_->currentData().toInt()));
  }
  if (!spectrum_) {
    spectrum_series_->clear();
    figures_->setText(channel < 0 ? QString() : tr("ADC%1: no tone above DC").arg(channel));
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
  spectrum_series_->replace(points);
  SetRoundRange(spectrum_x_, 0.0, 0.5);
  SetRoundRange(spectrum_y_, std::floor(lowest / 20.0) * 20.0, 10.0);
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

void ViewerWindow::ShowLogPointer(QPointF value) {
  const bool volts = VoltsShown();
  QString text = tr("%1 s, pointer at %2 %3")
                     .arg(value.x(), 0, 'f', 3)
                     .arg(value.y(), 0, 'f', volts ? 4 : 1)
                     .arg(volts ? tr("V") : tr("codes"));
  const std::vector<double>& seconds = log_->seconds;
  // The row nearest the pointer in time.
  const auto after = std::lower_bound(seconds.begin(), seconds.end(), value.x());
  auto nearest = after;
  if (after == seconds.end() ||
      (after != seconds.begin() && value.x() - *std::prev(after) < *after - value.x())) {
    nearest = after == seconds.begin() ? after : std::prev(after);
  }
  if (nearest != seconds.end()) {
    const auto row = static_cast<std::size_t>(nearest - seconds.begin());
    text += tr("   row at %1 s (%2)").arg(*nearest, 0, 'f', 3).arg(Text(log_->TimeUtc(row)));
    const bool gap = log_->Gap(row);
    if (gap) {
      text += tr(": gap, link status %1").arg(log_->GapStatus(row).value_or(0));
    }
    for (std::size_t c = 0; !gap && c < log_->layout.channels.size(); ++c) {
      const int channel = log_->layout.channels[c];
      if (!channel_boxes_[static_cast<std::size_t>(channel)]->isChecked()) {
        continue;
      }
      const double shown = log_->Value(row, c);
      QString entry = tr("ADC%1 %2").arg(channel).arg(shown);
      if (log_->HasVolts()) {
        entry += tr(" (%1 V)").arg(log_->ValueVolts(shown), 0, 'f', 4);
      }
      text += QStringLiteral("   ") + Unbroken(entry);
    }
  }
  cursor_label_->setText(text);
}

void ViewerWindow::ShowPointer(QPointF value) {
  if (log_) {
    ShowLogPointer(value);
    return;
  }
  if (analysis_.channels.empty()) {
    return;
  }
  const bool volts = VoltsShown();
  const long set = std::lround(value.x());
  QString text = tr("Set %1, pointer at %2 %3")
                     .arg(set)
                     .arg(value.y(), 0, 'f', volts ? 4 : 1)
                     .arg(volts ? tr("V") : tr("codes"));
  if (set >= 0 && static_cast<std::size_t>(set) < analysis_.channels.front().codes.size()) {
    for (const analysis::ChannelSamples& channel : analysis_.channels) {
      if (channel_boxes_[static_cast<std::size_t>(channel.channel)]->isChecked()) {
        const auto i = static_cast<std::size_t>(set);
        text += QStringLiteral("   ") + Unbroken(tr("ADC%1 %2 (%3 V)")
                                                     .arg(channel.channel)
                                                     .arg(channel.values[i])
                                                     .arg(channel.volts[i], 0, 'f', 4));
      }
    }
  }
  cursor_label_->setText(text);
}

void ViewerWindow::SetFollow(bool follow) {
  follow_ = follow;
  // Qt warns about removing nothing: only what is watched is removed.
  if (const QStringList watched = watcher_.files() + watcher_.directories(); !watched.isEmpty()) {
    watcher_.removePaths(watched);
  }
  if (follow_ && !path_.isEmpty()) {
    // The captures replace their file by renaming a new one over it, which
    // ends the watch on the old file: the folder is watched as well.
    watcher_.addPath(path_);
    watcher_.addPath(QFileInfo(path_).absolutePath());
  }
}

void ViewerWindow::FollowedPathChanged() {
  // Several notices come for one capture (the temporary file, the rename,
  // the metadata): one reload after they settle. A log grows by a row at a
  // time, perhaps faster than they settle: it is read once per delay.
  if (log_ && reload_timer_.isActive()) {
    return;
  }
  reload_timer_.start();
}

void ViewerWindow::Reload() {
  if (!follow_ || path_.isEmpty()) {
    return;
  }
  if (!watcher_.files().contains(path_) && QFileInfo::exists(path_)) {
    watcher_.addPath(path_);
  }
  if (!QFileInfo::exists(path_)) {
    statusBar()->showMessage(tr("%1 is gone; waiting for it to come back").arg(path_));
    return;
  }
  if (log_ && analysis::FileStartsAsLog(path_.toStdString())) {
    FollowLog();
    return;
  }
  if (OpenFile(path_)) {
    ++reloads_;
    emit Reloaded();
  }
}

void ViewerWindow::FollowLog() {
  const std::string header = log_->header_line;
  const std::size_t bytes = log_->complete_bytes;
  const std::string error = analysis::FollowLogFile(path_.toStdString(), *log_);
  if (!error.empty()) {
    ShowError(Text(error), false);
  }
  if (log_->header_line != header) {
    // Another log in its place: its channels and scale may differ.
    log_fit_.reset();
    SetChannelBoxes(log_->layout.channels, true);
    ShowKind();
    ApplyScaleToControls();
  }
  if (log_->header_line != header || log_->complete_bytes != bytes) {
    Recompute();
    if (error.empty()) {
      statusBar()->showMessage(LogStatus());
    }
  }
  ++reloads_;
  emit Reloaded();
}

QString ViewerWindow::LogStatus() const {
  QString text =
      tr("%1: log, %2 rows (%3 gap rows)").arg(path_).arg(log_stats_.rows).arg(log_stats_.gap_rows);
  if (log_->partial_bytes > 0) {
    // While the logger writes, its last row is often half there.
    text += tr("; the last line has no line end (%1 bytes), left out").arg(log_->partial_bytes);
  }
  return text;
}

void ViewerWindow::ShowError(const QString& text, bool modal_box) {
  statusBar()->showMessage(text);
  if (!modal_box) {
    return;
  }
  // Window-modal but not blocking: --follow and tests carry on meanwhile.
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("kx7312-view"), text,
                              QMessageBox::Ok, this);
  box->setObjectName(QStringLiteral("errorMessage"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

bool ViewerWindow::ExportPng(const QString& path) {
  QWidget* page = tabs_->currentWidget();
  QWidget* target = page;
  if (page != nullptr) {
    if (auto* view = page->findChild<ChartView*>()) {
      target = view;
    }
  }
  return target != nullptr && target->grab().save(path, "PNG");
}

std::optional<std::string> ViewerWindow::ExportCsv(const QString& path) {
  if (log_) {
    return adc::WriteFileReplacing(path.toStdString(), analysis::LogCsvText(*log_));
  }
  if (!capture_) {
    return std::string("No capture is open.");
  }
  return adc::WriteFileReplacing(path.toStdString(), analysis::CsvText(analysis_));
}

bool ViewerWindow::SaveScreenshots(const QString& folder) {
  const QDir dir(folder);
  bool ok = true;
  const std::array<std::pair<int, const char*>, 3> views = {
      {{0, "view-time.png"}, {1, "view-histogram.png"}, {3, "view-spectrum.png"}}};
  for (const auto& [tab, name] : views) {
    tabs_->setCurrentIndex(tab);
    QApplication::processEvents();
    ok = grab().save(dir.filePath(QString::fromLatin1(name)), "PNG") && ok;
  }
  tabs_->setCurrentIndex(0);
  return ok;
}

}  // namespace kx::view
