#include "view/chart_view.h"

#include <QChart>
#include <QMouseEvent>
#include <QWheelEvent>

#include "view/plot_style.h"

namespace kx::view {

namespace {
constexpr double kWheelZoom = 1.25;
}

ChartView::ChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
  setRubberBand(QChartView::RectangleRubberBand);
  setMouseTracking(true);
  setRenderHint(QPainter::Antialiasing, false);
}

void ChartView::wheelEvent(QWheelEvent* event) {
  const double factor = event->angleDelta().y() > 0 ? kWheelZoom : 1.0 / kWheelZoom;
  const QRectF area = chart()->plotArea();
  const QPointF centre = event->position();
  // Zoom around the pointer: the value under it stays under it.
  QRectF zoomed(0, 0, area.width() / factor, area.height() / factor);
  zoomed.moveCenter(area.center() + (centre - area.center()) * (1.0 - 1.0 / factor));
  chart()->zoomIn(zoomed);
  event->accept();
}

void ChartView::mousePressEvent(QMouseEvent* event) {
  const bool pan = event->button() == Qt::MiddleButton ||
                   (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
  if (pan) {
    panning_ = true;
    last_ = event->position().toPoint();
    event->accept();
    return;
  }
  QChartView::mousePressEvent(event);
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint here = event->position().toPoint();
  if (panning_) {
    const QPoint moved = here - last_;
    chart()->scroll(-moved.x(), moved.y());
    last_ = here;
    event->accept();
  } else {
    QChartView::mouseMoveEvent(event);
  }
  if (chart()->plotArea().contains(here)) {
    emit PointerMoved(chart()->mapToValue(here));
  }
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
  if (panning_) {
    panning_ = false;
    event->accept();
    return;
  }
  QChartView::mouseReleaseEvent(event);
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* event) {
  WithTicksHeld(chart(), [this] {
    chart()->zoomReset();
    emit ZoomReset();
  });
  event->accept();
}

}  // namespace kx::view
