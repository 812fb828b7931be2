#pragma once

#include <QColor>
#include <functional>

class QChart;
class QLineSeries;
class QString;
class QValueAxis;

namespace kx::view {

// One colour per ADC channel, the same in every plot: sixteen that tell
// apart on a white chart (the chart theme's own repeat after five).
QColor ChannelColour(int channel);

// The step between ticks over `span`: 1, 2 or 5 times a power of ten, the
// smallest giving at most `most` steps.
double RoundTickStep(double span, int most);

// Keeps the axis's ticks on multiples of a round step whatever range it is
// given or zoomed to; `smallest` keeps whole-number axes (codes, counts)
// from ticks between their values.
void UseRoundTicks(QValueAxis* axis, double smallest = 0.0);

// Qt lays an axis out for its new range before anyone hears of the change,
// still with the old step: a jump from a few codes to four thousand would
// first build thousands of ticks. These change ranges with the ticks held
// to a few meanwhile.
void SetRoundRange(QValueAxis* axis, double low, double high);
void WithTicksHeld(QChart* chart, const std::function<void()>& change);

// The parts every tab's chart is made of: a chart without animation and its
// legend on the right, an axis with round ticks, a series on both axes.
QChart* NewChart(const QString& title);
QValueAxis* NewAxis(const QString& title, double smallest_step = 0.0);
void Attach(QChart* chart, QLineSeries* series, QValueAxis* x, QValueAxis* y);
// A range with a little room on both sides; a flat line gets one unit.
void FitAxis(QValueAxis* axis, double low, double high);

}  // namespace kx::view
