#pragma once

#include <QFileSystemWatcher>
#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "analysis/capture_report.h"
#include "analysis/spectrum.h"
#include "view/histogram_tab.h"
#include "view/spectrum_tab.h"
#include "view/time_tab.h"
#include "view/view_tab.h"
#include "view/viewer_document.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineSeries;
class QTabWidget;

namespace kx::view {

class LogPlot;

// The viewer's window: the controls (open, scale, units, the ticked
// channels, the exports), the tabs and following the file. What it shows
// is the document's; each tab draws it and says whether it supports its
// kind (a log has no histogram or spectrum, a linearity result only its
// own tab).
class ViewerWindow : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kChannels = kViewChannels;

  // `choice`: what the command line fixed; it wins over the metadata.
  explicit ViewerWindow(const analysis::ScaleChoice& choice = {},
                        analysis::WindowKind window = analysis::WindowKind::BlackmanHarris,
                        QWidget* parent = nullptr);
  ~ViewerWindow() override;
  ViewerWindow(const ViewerWindow&) = delete;
  ViewerWindow& operator=(const ViewerWindow&) = delete;

  // Reads the file (a capture, a log or a linearity result); on failure
  // shows the reason and keeps what was shown.
  bool OpenFile(const QString& path);
  // Reloads the file whenever it is written or replaced; a log is read on
  // from where it was, as the logger appends to it.
  void SetFollow(bool follow);
  // Reads the followed file again now, as its change notices do.
  void Reload();

  // The current tab's plot (the table on the statistics tab) as PNG.
  bool ExportPng(const QString& path);
  // The data as CSV, written whole or not at all; the reason on failure.
  std::optional<std::string> ExportCsv(const QString& path);
  // Each tab that shows this kind of file as its PNG in `folder`:
  // view-time.png, view-histogram.png and view-spectrum.png of a capture,
  // view-linearity.png of a linearity result.
  bool SaveScreenshots(const QString& folder);

  const ViewerDocument& Document() const { return document_; }
  bool HasCapture() const { return document_.Capture() != nullptr; }
  const analysis::OpenedCapture* Capture() const { return document_.Capture(); }
  const analysis::LogData* Log() const { return document_.Log(); }
  const analysis::CaptureAnalysis& Analysis() const { return document_.Analysis(); }
  // The first tab of class T (the window holds one of each).
  template <class T>
  T& Tab() const {
    for (ViewTab* view : views_) {
      if (auto* tab = qobject_cast<T*>(view)) {
        return *tab;
      }
    }
    std::abort();  // every tab class is made with the window
  }
  const LogPlot& LogLines() const { return Tab<TimeTab>().LogLines(); }
  const std::optional<analysis::Spectrum>& CurrentSpectrum() const {
    return Tab<SpectrumTab>().Current();
  }
  QLineSeries* TimeSeries(int channel) const { return Tab<TimeTab>().Series(channel); }
  QLineSeries* HistogramSeries() const { return Tab<HistogramTab>().Series(); }
  int Reloads() const { return reloads_; }

 signals:
  void Reloaded();

 private:
  void BuildControls(analysis::WindowKind window);
  void ApplyScaleToControls();
  void ScaleControlsChanged();
  ViewSettings Settings() const;
  void Replaced();
  void SettingsChanged();
  void ShowKind();
  void SetChannelBoxes(const std::vector<int>& channels, bool tick_all);
  void FollowedPathChanged();
  void ShowError(const QString& text, bool modal_box);

  ViewerDocument document_;
  std::string shown_layout_;
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
  std::vector<ViewTab*> views_;

  QLabel* cursor_label_ = nullptr;
  QFileSystemWatcher watcher_;
  QTimer reload_timer_;
};

}  // namespace kx::view
