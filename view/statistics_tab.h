#pragma once

#include "view/view_tab.h"

class QTableWidget;

namespace kx::view {

// Per channel: a capture's mean code, deviation, peak-to-peak, extremes
// and mean volts; a log's good rows, and the same over their logged value.
class StatisticsTab : public ViewTab {
  Q_OBJECT

 public:
  explicit StatisticsTab(QWidget* parent = nullptr);

  QString Title() const override { return tr("Statistics"); }
  bool Supports(ViewerDocument::Kind kind) const override { return HoldsSamples(kind); }
  QString Unsupported(ViewerDocument::Kind /*kind*/) const override { return NotForAResult(); }
  void Show(const ViewerDocument& document, const ViewSettings& settings) override;
  void Settle(const ViewerDocument& /*document*/, const ViewSettings& /*settings*/) override {}

 private:
  void Fill(int row, const QStringList& cells);

  QTableWidget* table_ = nullptr;
};

}  // namespace kx::view
