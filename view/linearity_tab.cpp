#include "view/linearity_tab.h"

#include <QChart>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QList>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <span>

#include "analysis/linearity_result.h"
#include "view/chart_view.h"
#include "view/plot_style.h"

namespace kx::view {
namespace {

constexpr int kFiguresWidth = 300;
constexpr double kMarkSize = 9.0;

QLineSeries* NewLine(QChart* chart, const QString& name, int colour, QValueAxis* x, QValueAxis* y) {
  auto* series = new QLineSeries;
  series->setName(name);
  series->setColor(ChannelColour(colour));
  Attach(chart, series, x, y);
  return series;
}

// The lowest and highest y of the points, with 0 always within.
std::pair<double, double> Span(const QList<QPointF>& points) {
  double low = 0.0;
  double high = 0.0;
  for (const QPointF& point : points) {
    low = std::min(low, point.y());
    high = std::max(high, point.y());
  }
  return {low, high};
}

}  // namespace

LinearityTab::LinearityTab(QWidget* parent) : ViewTab(parent) {
  dnl_chart_ = NewChart(tr("DNL"));
  inl_chart_ = NewChart(tr("INL"));
  dnl_x_ = NewAxis(tr("Code"), 1.0);
  dnl_y_ = NewAxis(tr("DNL (LSB)"));
  inl_x_ = NewAxis(tr("Code"), 1.0);
  inl_y_ = NewAxis(tr("INL (LSB)"));
  dnl_chart_->addAxis(dnl_x_, Qt::AlignBottom);
  dnl_chart_->addAxis(dnl_y_, Qt::AlignLeft);
  inl_chart_->addAxis(inl_x_, Qt::AlignBottom);
  inl_chart_->addAxis(inl_y_, Qt::AlignLeft);
  dnl_ = NewLine(dnl_chart_, tr("DNL"), 0, dnl_x_, dnl_y_);
  inl_ = NewLine(inl_chart_, tr("INL"), 1, inl_x_, inl_y_);
  inl_fit_ = NewLine(inl_chart_, tr("INL (best fit)"), 2, inl_x_, inl_y_);
  marks_ = new QScatterSeries;
  marks_->setMarkerSize(kMarkSize);
  marks_->setColor(ChannelColour(3));
  dnl_chart_->addSeries(marks_);
  marks_->attachAxis(dnl_x_);
  marks_->attachAxis(dnl_y_);

  dnl_view_ = new ChartView(dnl_chart_, this);
  dnl_view_->setObjectName(QStringLiteral("dnlView"));
  inl_view_ = new ChartView(inl_chart_, this);
  inl_view_->setObjectName(QStringLiteral("inlView"));
  figures_ = new QLabel(this);
  figures_->setObjectName(QStringLiteral("linearityFigures"));
  figures_->setWordWrap(true);
  figures_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  figures_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  figures_->setFixedWidth(kFiguresWidth);

  auto* plots = new QVBoxLayout;
  plots->addWidget(dnl_view_, 1);
  plots->addWidget(inl_view_, 1);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(plots, 1);
  layout->addWidget(figures_);
  for (ChartView* view : {dnl_view_, inl_view_}) {
    connect(view, &ChartView::PointerMoved, this, &LinearityTab::ShowPointer);
  }
}

bool LinearityTab::Supports(ViewerDocument::Kind kind) const {
  return kind == ViewerDocument::Kind::None || !HoldsSamples(kind);
}

QString LinearityTab::Unsupported(ViewerDocument::Kind /*kind*/) const {
  return tr("For the results of kx7312ctl adc histogram --out and dac sweep --out");
}

void LinearityTab::Show(const ViewerDocument& document, const ViewSettings& /*settings*/) {
  document_ = &document;
  Clear();
  const analysis::LinearityResult* result = document.Linearity();
  if (result == nullptr) {
    return;
  }
  figures_->setText(QString::fromStdString(analysis::ResultSubject(*result) + "\n\n" +
                                           analysis::LinearityFigures(*result)));
  if (result->kind == analysis::ResultKind::AdcHistogram) {
    DrawHistogram();
  } else {
    DrawSweep();
  }
}

void LinearityTab::Clear() {
  for (QXYSeries* series : std::initializer_list<QXYSeries*>{dnl_, inl_, inl_fit_, marks_}) {
    series->clear();
  }
  figures_->clear();
}

void LinearityTab::DrawHistogram() {
  const linearity::DensityLinearity& density = document_->Linearity()->density;
  dnl_chart_->setTitle(tr("DNL of each code (a missing code is -1)"));
  inl_chart_->setTitle(tr("INL on the line through the end codes"));
  inl_->setName(tr("INL"));
  inl_fit_->setVisible(false);
  marks_->setName(tr("Missing codes"));
  QList<QPointF> dnl;
  QList<QPointF> inl;
  for (int code = density.first_code; code <= density.last_code; ++code) {
    const auto at = static_cast<std::size_t>(code);
    dnl.append(QPointF(code, density.dnl[at]));
    inl.append(QPointF(code, density.inl[at]));
  }
  QList<QPointF> marks;
  for (const int code : density.missing_codes) {
    marks.append(QPointF(code, density.dnl[static_cast<std::size_t>(code)]));
  }
  WithTicksHeld(dnl_chart_, [&] {
    dnl_->replace(dnl);
    marks_->replace(marks);
    FitAxis(dnl_x_, density.first_code, density.last_code);
    const auto [low, high] = Span(dnl);
    FitAxis(dnl_y_, low, high);
  });
  WithTicksHeld(inl_chart_, [&] {
    inl_->replace(inl);
    FitAxis(inl_x_, density.first_code, density.last_code);
    const auto [low, high] = Span(inl);
    FitAxis(inl_y_, low, high);
  });
}

void LinearityTab::DrawSweep() {
  const linearity::SweepLinearity& sweep = document_->Linearity()->sweep;
  const QString whose =
      sweep.adc_taken_out ? tr("the DAC's, the ADC's taken out") : tr("the DAC and ADC together");
  dnl_chart_->setTitle(tr("DNL of each step (%1)").arg(whose));
  inl_chart_->setTitle(tr("INL on the endpoint and best-fit lines (%1)").arg(whose));
  inl_->setName(tr("INL (endpoint)"));
  inl_fit_->setVisible(true);
  marks_->setName(tr("Steps down (not monotonic)"));
  if (!sweep.problem.empty() || sweep.codes.empty()) {
    return;  // the figures say why there are none
  }
  QList<QPointF> dnl;
  QList<QPointF> inl;
  QList<QPointF> fit;
  // The first code has no step below it.
  for (std::size_t i = 0; i < sweep.codes.size(); ++i) {
    if (i > 0) {
      dnl.append(QPointF(sweep.codes[i], sweep.dnl[i]));
    }
    inl.append(QPointF(sweep.codes[i], sweep.inl_endpoint[i]));
    fit.append(QPointF(sweep.codes[i], sweep.inl_fit[i]));
  }
  QList<QPointF> marks;
  for (const int code : sweep.falls) {
    const auto found = std::find(sweep.codes.begin(), sweep.codes.end(), code);
    if (found != sweep.codes.end()) {
      marks.append(QPointF(code, sweep.dnl[static_cast<std::size_t>(found - sweep.codes.begin())]));
    }
  }
  const double first = sweep.codes.front();
  const double last = sweep.codes.back();
  WithTicksHeld(dnl_chart_, [&] {
    dnl_->replace(dnl);
    marks_->replace(marks);
    FitAxis(dnl_x_, first, last);
    const auto [low, high] = Span(dnl);
    FitAxis(dnl_y_, low, high);
  });
  WithTicksHeld(inl_chart_, [&] {
    inl_->replace(inl);
    inl_fit_->replace(fit);
    FitAxis(inl_x_, first, last);
    const auto [low, high] = Span(inl + fit);
    FitAxis(inl_y_, low, high);
  });
}

// The code nearest the pointer and its figures, for the window's readout.
void LinearityTab::ShowPointer(QPointF value) {
  const analysis::LinearityResult* result = document_ != nullptr ? document_->Linearity() : nullptr;
  if (result == nullptr) {
    return;
  }
  const long pointed = std::lround(value.x());
  if (result->kind == analysis::ResultKind::AdcHistogram) {
    const linearity::DensityLinearity& density = result->density;
    const auto code =
        static_cast<int>(std::clamp<long>(pointed, density.first_code, density.last_code));
    const auto at = static_cast<std::size_t>(code);
    const bool missing =
        std::binary_search(density.missing_codes.begin(), density.missing_codes.end(), code);
    emit PointerText(tr("Code %1: %2 samples, DNL %3 LSB, INL %4 LSB%5")
                         .arg(code)
                         .arg(result->counts[at])
                         .arg(density.dnl[at], 0, 'f', 3)
                         .arg(density.inl[at], 0, 'f', 3)
                         .arg(missing ? tr(", missing") : QString()));
    return;
  }
  const linearity::SweepLinearity& sweep = result->sweep;
  if (sweep.codes.empty()) {
    return;
  }
  const auto after = std::lower_bound(sweep.codes.begin(), sweep.codes.end(), pointed);
  std::size_t i = after == sweep.codes.end()
                      ? sweep.codes.size() - 1
                      : static_cast<std::size_t>(after - sweep.codes.begin());
  if (i > 0 &&
      (after == sweep.codes.end() || pointed - sweep.codes[i - 1] < sweep.codes[i] - pointed)) {
    --i;
  }
  const bool falls =
      std::find(sweep.falls.begin(), sweep.falls.end(), sweep.codes[i]) != sweep.falls.end();
  emit PointerText(tr("Code %1: output %2 LSB (noise %3 LSB), DNL %4 LSB, INL %5 LSB endpoint, "
                      "%6 LSB best fit%7")
                       .arg(sweep.codes[i])
                       .arg(sweep.output_lsb[i], 0, 'f', 3)
                       .arg(sweep.noise_lsb[i], 0, 'f', 3)
                       .arg(sweep.dnl[i], 0, 'f', 3)
                       .arg(sweep.inl_endpoint[i], 0, 'f', 3)
                       .arg(sweep.inl_fit[i], 0, 'f', 3)
                       .arg(falls ? tr(", a step down") : QString()));
}

}  // namespace kx::view
