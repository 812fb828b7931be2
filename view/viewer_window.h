#pragma once

#include <QFileSystemWatcher>
#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/capture_report.h"
#include "analysis/log_file.h"
#include "analysis/log_report.h"
#include "analysis/spectrum.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineSeries;
class QChart;
class QTableWidget;
class QTabWidget;
class QValueAxis;

namespace kx::view {

class ChartView;
class LogPlot;

// The capture viewer's window: the ticked channels against the sample-set
// number (codes or volts), a code histogram, the statistics table and the
// spectrum of one channel. Range, coding and reference come from the
// capture's metadata file when it has one, else from three controls.
// A data logger's file opens too: its channels against the seconds since
// the start, with breaks at the gap rows, and its statistics.
class ViewerWindow : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kChannels = 16;

  // `choice`: what the command line fixed; it wins over the metadata.
  explicit ViewerWindow(const analysis::ScaleChoice& choice = {},
                        analysis::WindowKind window = analysis::WindowKind::BlackmanHarris,
                        QWidget* parent = nullptr);
  ~ViewerWindow() override;
  ViewerWindow(const ViewerWindow&) = delete;
  ViewerWindow& operator=(const ViewerWindow&) = delete;

  // Reads the file (a capture or a log, told apart by its first line); on
  // failure shows the reason and keeps what was shown.
  bool OpenFile(const QString& path);
  // Reloads the file whenever it is written or replaced; a log is read on
  // from where it was, as the logger appends to it.
  void SetFollow(bool follow);

  // The current tab's plot (the table on the statistics tab) as PNG.
  bool ExportPng(const QString& path);
  // The data as CSV, written whole or not at all; the reason on failure.
  std::optional<std::string> ExportCsv(const QString& path);
  // view-time.png, view-histogram.png and view-spectrum.png in `folder`.
  bool SaveScreenshots(const QString& folder);

  bool HasCapture() const { return capture_.has_value(); }
  const analysis::OpenedCapture* Capture() const { return capture_ ? &*capture_ : nullptr; }
  const analysis::LogData* Log() const { return log_ ? &*log_ : nullptr; }
  const LogPlot& LogLines() const { return *log_plot_; }
  const analysis::CaptureAnalysis& Analysis() const { return analysis_; }
  const std::optional<analysis::Spectrum>& CurrentSpectrum() const { return spectrum_; }
  QLineSeries* TimeSeries(int channel) const { return time_series_[static_cast<size_t>(channel)]; }
  QLineSeries* HistogramSeries() const { return histogram_series_; }
  int Reloads() const { return reloads_; }

 signals:
  void Reloaded();

 private:
  void BuildControls();
  void BuildTabs();
  void ApplyScaleToControls();
  void ScaleControlsChanged();
  void Recompute();
  void DrawTime();
  void DrawHistogram();
  void DrawStatistics();
  void DrawSpectrum();
  void ShowPointer(QPointF value);
  void ShowLogPointer(QPointF value);
  bool OpenLog(const QString& path);
  void ShowKind();
  void SetChannelBoxes(const std::vector<int>& channels, bool tick_all);
  void FollowLog();
  void DrawLog();
  void FollowedPathChanged();
  void Reload();
  void ShowError(const QString& text, bool modal_box);
  QString LogStatus() const;
  bool VoltsShown() const;

  analysis::ScaleChoice choice_;
  std::optional<analysis::OpenedCapture> capture_;
  analysis::CaptureAnalysis analysis_;
  std::optional<analysis::Spectrum> spectrum_;
  std::optional<analysis::LogData> log_;
  analysis::LogStats log_stats_;
  QString path_;
  bool follow_ = false;
  bool updating_controls_ = false;
  int reloads_ = 0;

  QComboBox* range_box_ = nullptr;
  QComboBox* coding_box_ = nullptr;
  QDoubleSpinBox* reference_box_ = nullptr;
  QComboBox* units_box_ = nullptr;
  QLabel* scale_source_ = nullptr;
  std::array<QCheckBox*, kChannels> channel_boxes_{};
  QTabWidget* tabs_ = nullptr;

  QChart* time_chart_ = nullptr;
  ChartView* time_view_ = nullptr;
  std::array<QLineSeries*, kChannels> time_series_{};
  QValueAxis* time_x_ = nullptr;
  QValueAxis* time_y_ = nullptr;
  std::unique_ptr<LogPlot> log_plot_;
  // The time axis as the whole log was last fitted to it: a range other
  // than this is the person's zoom, kept while rows come in.
  std::optional<std::pair<double, double>> log_fit_;
  bool fitting_ = false;
  QTimer log_zoom_timer_;

  QComboBox* histogram_channel_ = nullptr;
  QChart* histogram_chart_ = nullptr;
  ChartView* histogram_view_ = nullptr;
  QLineSeries* histogram_series_ = nullptr;
  QValueAxis* histogram_x_ = nullptr;
  QValueAxis* histogram_y_ = nullptr;

  QTableWidget* stats_table_ = nullptr;

  QComboBox* spectrum_channel_ = nullptr;
  QComboBox* window_box_ = nullptr;
  QLabel* figures_ = nullptr;
  QChart* spectrum_chart_ = nullptr;
  ChartView* spectrum_view_ = nullptr;
  QLineSeries* spectrum_series_ = nullptr;
  QValueAxis* spectrum_x_ = nullptr;
  QValueAxis* spectrum_y_ = nullptr;

  QLabel* cursor_label_ = nullptr;
  QFileSystemWatcher watcher_;
  QTimer reload_timer_;
};

}  // namespace kx::view
