#pragma once

#include "view/view_tab.h"

class QChart;
class QComboBox;
class QLineSeries;
class QValueAxis;

namespace kx::view {

class ChartView;

// How often each code came in one channel of a capture. A log's rows are
// not evenly spaced samples: the tab is off for it, and for a linearity
// result, which has its own tab.
class HistogramTab : public ViewTab {
  Q_OBJECT

 public:
  explicit HistogramTab(QWidget* parent = nullptr);

  QString Title() const override { return tr("Histogram"); }
  bool Supports(ViewerDocument::Kind kind) const override {
    return kind == ViewerDocument::Kind::None || kind == ViewerDocument::Kind::Capture;
  }
  QString Unsupported(ViewerDocument::Kind kind) const override;
  void Show(const ViewerDocument& document, const ViewSettings& settings) override;
  // The ticks and units change nothing here.
  void Settle(const ViewerDocument& /*document*/, const ViewSettings& /*settings*/) override {}
  QWidget* Picture() override;
  QString ScreenshotName() const override { return QStringLiteral("view-histogram.png"); }

  QLineSeries* Series() const { return series_; }

 private:
  void Draw();

  const ViewerDocument* document_ = nullptr;
  QComboBox* channel_ = nullptr;
  QChart* chart_ = nullptr;
  ChartView* view_ = nullptr;
  QLineSeries* series_ = nullptr;
  QValueAxis* x_ = nullptr;
  QValueAxis* y_ = nullptr;
};

// The channel lists of the histogram and spectrum tabs: one entry per
// column of the capture, the choice kept where it still exists.
void FillChannelBox(QComboBox* box, int channels);

// Why the histogram and the spectrum are off for a log.
QString NotForALog();

}  // namespace kx::view
