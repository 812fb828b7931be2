#pragma once

#include "view/view_tab.h"

class QChart;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace kx::view {

class ChartView;

// A linearity result: DNL and INL against code, one plot each, the ADC's
// missing codes or the DAC's steps down marked on the DNL, and the figures
// beside them. Every code is drawn: 4096 points are fewer than a capture's
// sixteen channels of 512, so no min/max thinning is needed.
class LinearityTab : public ViewTab {
  Q_OBJECT

 public:
  explicit LinearityTab(QWidget* parent = nullptr);

  QString Title() const override { return tr("Linearity"); }
  bool Supports(ViewerDocument::Kind kind) const override;
  QString Unsupported(ViewerDocument::Kind kind) const override;
  void Show(const ViewerDocument& document, const ViewSettings& settings) override;
  // The ticks and units change nothing here.
  void Settle(const ViewerDocument& /*document*/, const ViewSettings& /*settings*/) override {}
  QString ScreenshotName() const override { return QStringLiteral("view-linearity.png"); }

  QLineSeries* Dnl() const { return dnl_; }
  QLineSeries* Inl() const { return inl_; }
  // The sweep's INL on its best-fit line; empty for a histogram.
  QLineSeries* InlFit() const { return inl_fit_; }
  // The missing codes (histogram) or the steps down (sweep), at their DNL.
  QScatterSeries* Marks() const { return marks_; }

 private:
  void Clear();
  void DrawHistogram();
  void DrawSweep();
  void ShowPointer(QPointF value);

  const ViewerDocument* document_ = nullptr;
  QLabel* figures_ = nullptr;
  QChart* dnl_chart_ = nullptr;
  QChart* inl_chart_ = nullptr;
  ChartView* dnl_view_ = nullptr;
  ChartView* inl_view_ = nullptr;
  QValueAxis* dnl_x_ = nullptr;
  QValueAxis* dnl_y_ = nullptr;
  QValueAxis* inl_x_ = nullptr;
  QValueAxis* inl_y_ = nullptr;
  QLineSeries* dnl_ = nullptr;
  QLineSeries* inl_ = nullptr;
  QLineSeries* inl_fit_ = nullptr;
  QScatterSeries* marks_ = nullptr;
};

}  // namespace kx::view
