#pragma once

#include <optional>

#include "analysis/spectrum.h"
#include "view/view_tab.h"

class QChart;
class QComboBox;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace kx::view {

class ChartView;

// The windowed spectrum of one channel of a capture and its figures (SNR,
// SINAD, THD, ENOB, SFDR with the worst spur, the harmonics marked and
// listed), against hertz when the capture's metadata times its samples.
// Off for a log, whose rows are not evenly spaced, and a linearity result.
class SpectrumTab : public ViewTab {
  Q_OBJECT

 public:
  explicit SpectrumTab(analysis::WindowKind window, QWidget* parent = nullptr);

  QString Title() const override { return tr("Spectrum"); }
  bool Supports(ViewerDocument::Kind kind) const override {
    return kind == ViewerDocument::Kind::None || kind == ViewerDocument::Kind::Capture;
  }
  QString Unsupported(ViewerDocument::Kind kind) const override;
  void Show(const ViewerDocument& document, const ViewSettings& settings) override;
  void Settle(const ViewerDocument& /*document*/, const ViewSettings& /*settings*/) override {}
  QWidget* Picture() override;
  QString ScreenshotName() const override { return QStringLiteral("view-spectrum.png"); }

  const std::optional<analysis::Spectrum>& Current() const { return spectrum_; }
  QScatterSeries* Harmonics() const { return harmonics_; }

 private:
  void Draw();
  // A frequency in cycles per sample set, in the axis's unit.
  double AxisFrequency(double cycles) const;
  QString FrequencyText(double cycles) const;

  const ViewerDocument* document_ = nullptr;
  std::optional<analysis::Spectrum> spectrum_;
  QComboBox* channel_ = nullptr;
  QComboBox* window_ = nullptr;
  QLabel* figures_ = nullptr;
  QChart* chart_ = nullptr;
  ChartView* view_ = nullptr;
  QLineSeries* series_ = nullptr;
  QScatterSeries* harmonics_ = nullptr;
  std::optional<double> sample_seconds_;
  QValueAxis* x_ = nullptr;
  QValueAxis* y_ = nullptr;
};

}  // namespace kx::view
