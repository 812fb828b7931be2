#pragma once

#include <QPointF>
#include <QTimer>
#include <array>
#include <memory>
#include <optional>
#include <utility>

#include "view/log_plot.h"
#include "view/view_tab.h"

class QChart;
class QLineSeries;
class QValueAxis;

namespace kx::view {

class ChartView;

// The ticked channels against the sample-set number (a capture) or the
// seconds since the start (a log, drawn by LogPlot from its levels), with
// zoom and pan and the pointer's values. A zoomed log stays where it is as
// rows come in; the whole view grows with the log.
class TimeTab : public ViewTab {
  Q_OBJECT

 public:
  explicit TimeTab(QWidget* parent = nullptr);
  ~TimeTab() override;
  TimeTab(const TimeTab&) = delete;
  TimeTab& operator=(const TimeTab&) = delete;

  QString Title() const override { return tr("Time"); }
  bool Supports(ViewerDocument::Kind kind) const override { return HoldsSamples(kind); }
  QString Unsupported(ViewerDocument::Kind /*kind*/) const override { return NotForAResult(); }
  void Show(const ViewerDocument& document, const ViewSettings& settings) override;
  void Grow(const ViewerDocument& document, const ViewSettings& settings) override;
  void Settle(const ViewerDocument& document, const ViewSettings& settings) override;
  QWidget* Picture() override;
  QString ScreenshotName() const override { return QStringLiteral("view-time.png"); }

  QLineSeries* Series(int channel) const { return series_[static_cast<std::size_t>(channel)]; }
  const LogPlot& LogLines() const { return *log_plot_; }

 private:
  void DrawCapture();
  void DrawLog();
  // `growing`: the same log with more rows, drawn over the same axis.
  void DrawLogRows(bool growing);
  void ShowPointer(QPointF value);
  void ShowLogPointer(QPointF value);

  const ViewerDocument* document_ = nullptr;
  ViewSettings settings_;
  QChart* chart_ = nullptr;
  ChartView* view_ = nullptr;
  std::array<QLineSeries*, kViewChannels> series_{};
  QValueAxis* x_ = nullptr;
  QValueAxis* y_ = nullptr;
  std::unique_ptr<LogPlot> log_plot_;
  // The time axis as the whole log was last fitted to it: a range other
  // than this is the person's zoom, kept while rows come in.
  std::optional<std::pair<double, double>> log_fit_;
  bool fitting_ = false;
  QTimer zoom_timer_;
};

}  // namespace kx::view
