#pragma once

#include <QChartView>
#include <QPoint>
#include <QPointF>

namespace kx::view {

// A chart view that zooms with the wheel (around the pointer) and with a
// dragged rectangle, pans with the middle button or with Shift and the left
// button, goes back to the whole plot on a double click, and tells where
// the pointer is in the plot's own values.
class ChartView : public QChartView {
  Q_OBJECT

 public:
  explicit ChartView(QChart* chart, QWidget* parent = nullptr);

 signals:
  void PointerMoved(QPointF value);
  void ZoomReset();

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  bool panning_ = false;
  QPoint last_;
};

}  // namespace kx::view
