#include "view/statistics_tab.h"

#include <QHeaderView>
#include <QStringList>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kx::view {

StatisticsTab::StatisticsTab(QWidget* parent) : ViewTab(parent) {
  table_ = new QTableWidget(0, 7, this);
  table_->setObjectName(QStringLiteral("statistics"));
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  table_->setHorizontalHeaderLabels({tr("Channel"), tr("Mean code"), tr("Std dev (LSB)"),
                                     tr("Peak-to-peak"), tr("Min"), tr("Max"), tr("Mean volts")});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(table_);
}

void StatisticsTab::Fill(int row, const QStringList& cells) {
  for (int column = 0; column < cells.size(); ++column) {
    auto* item = new QTableWidgetItem(cells[column]);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table_->setItem(row, column, item);
  }
}

void StatisticsTab::Show(const ViewerDocument& document, const ViewSettings& /*settings*/) {
  if (const analysis::LogData* log = document.Log()) {
    table_->setHorizontalHeaderLabels(
        {tr("Channel"), tr("Rows"), log->layout.Averaged() ? tr("Mean of means") : tr("Mean code"),
         tr("Std dev (LSB)"), tr("Min"), tr("Max"), tr("Mean volts")});
    const int decimals = log->layout.Averaged() ? 3 : 0;
    const analysis::LogStats& stats = document.LogStatistics();
    table_->setRowCount(static_cast<int>(stats.channels.size()));
    for (std::size_t i = 0; i < stats.channels.size(); ++i) {
      const analysis::LogChannelStats& s = stats.channels[i];
      Fill(static_cast<int>(i),
           {QStringLiteral("ADC%1").arg(s.channel), QString::number(s.count),
            QString::number(s.mean, 'f', 3), QString::number(s.std_dev, 'f', 3),
            QString::number(s.minimum, 'f', decimals), QString::number(s.maximum, 'f', decimals),
            s.mean_volts ? QString::number(*s.mean_volts, 'f', 4) : QStringLiteral("-")});
    }
    return;
  }
  table_->setHorizontalHeaderLabels({tr("Channel"), tr("Mean code"), tr("Std dev (LSB)"),
                                     tr("Peak-to-peak"), tr("Min"), tr("Max"), tr("Mean volts")});
  const analysis::CaptureAnalysis& analysis = document.Analysis();
  table_->setRowCount(static_cast<int>(analysis.stats.size()));
  for (std::size_t i = 0; i < analysis.stats.size(); ++i) {
    const analysis::ChannelStats& s = analysis.stats[i];
    Fill(static_cast<int>(i),
         {QStringLiteral("ADC%1").arg(analysis.channels[i].channel),
          QString::number(s.mean_code, 'f', 3), QString::number(s.std_dev_lsb, 'f', 3),
          QString::number(s.peak_to_peak), QString::number(s.min_code), QString::number(s.max_code),
          QString::number(s.mean_volts, 'f', 4)});
  }
}

}  // namespace kx::view
