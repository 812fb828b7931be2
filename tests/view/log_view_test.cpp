#include <gtest/gtest.h>

#include <QApplication>
#include <QAreaSeries>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "adc/sample_file.h"
#include "support/log_text.h"
#include "support/temp_folder.h"
#include "view/log_plot.h"
#include "view/viewer_window.h"
#include "view/window_fixture.h"

namespace kx::view {
namespace {

using testing::LogHeadText;
using testing::LogLayoutOf;
using testing::LogRowText;

// Rows 0 to 5 of channels 0 and 3, row 2 a gap: channel 0 reads 100 n,
// channel 3 reads -50.
std::string SixRows(const logger::LogLayout& layout) {
  std::string text = LogHeadText(layout);
  for (int n = 0; n < 6; ++n) {
    text += LogRowText(layout, n, n == 2 ? std::vector<int>{} : std::vector<int>{100 * n, -50});
  }
  return text;
}

void Append(const QString& path, const std::string& text) {
  std::ofstream out(path.toStdString(), std::ios::binary | std::ios::app);
  out << text;
}

class LogViewTest : public ViewerWindowFixture {
 protected:
  // The x of every point of a channel's lines, one list per line.
  std::vector<std::vector<double>> Runs(int channel) {
    std::vector<std::vector<double>> runs;
    for (const QLineSeries* line : window_.LogLines().Lines(channel)) {
      std::vector<double>& run = runs.emplace_back();
      for (const QPointF& point : line->points()) {
        run.push_back(point.x());
      }
    }
    return runs;
  }
};

TEST_F(LogViewTest, ALogIsDrawnAgainstTimeWithABreakAtTheGap) {
  // Named like a capture: the first line decides.
  ASSERT_TRUE(window_.OpenFile(Write("log.txt", SixRows(LogLayoutOf("version2", 1, {0, 3})))));
  ASSERT_NE(window_.Log(), nullptr);
  EXPECT_EQ(window_.Capture(), nullptr);
  for (int c = 0; c < 16; ++c) {
    const auto* box = Find<QCheckBox>(("channel" + std::to_string(c)).c_str());
    const bool logged = c == 0 || c == 3;
    EXPECT_EQ(box->isEnabled(), logged) << c;
    EXPECT_EQ(box->isChecked(), logged) << c;
    EXPECT_FALSE(window_.TimeSeries(c)->isVisible()) << c;
  }
  EXPECT_EQ(Runs(0), (std::vector<std::vector<double>>{{0, 1}, {3, 4, 5}}));
  EXPECT_EQ(Runs(3), (std::vector<std::vector<double>>{{0, 1}, {3, 4, 5}}));
  EXPECT_TRUE(window_.LogLines().Lines(1).empty());
  EXPECT_EQ(window_.LogLines().Lines(0)[1]->at(2).y(), 500.0);
  EXPECT_EQ(window_.LogLines().Lines(3)[0]->at(0).y(), -50.0);
  EXPECT_TRUE(window_.LogLines().Bands(0).empty());

  auto* tabs = Find<QTabWidget>("views");
  EXPECT_TRUE(tabs->isTabEnabled(0));
  EXPECT_FALSE(tabs->isTabEnabled(1));
  EXPECT_FALSE(tabs->isTabEnabled(3));
  EXPECT_TRUE(tabs->tabToolTip(3).contains(QStringLiteral("not evenly spaced")));
  EXPECT_TRUE(Find<QLabel>("scaleSource")->text().contains(QStringLiteral("log's first line")));
  EXPECT_FALSE(Find<QComboBox>("codingBox")->isEnabled());
  EXPECT_EQ(Find<QComboBox>("codingBox")->currentIndex(), 0);  // two's complement

  auto* table = Find<QTableWidget>("statistics");
  ASSERT_EQ(table->rowCount(), 2);
  EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("ADC0"));
  EXPECT_EQ(table->item(0, 1)->text(), QStringLiteral("5"));        // good rows
  EXPECT_EQ(table->item(0, 2)->text(), QStringLiteral("260.000"));  // (0+1+3+4+5) 100 / 5
  EXPECT_EQ(table->item(0, 5)->text(), QStringLiteral("500"));
  EXPECT_EQ(table->horizontalHeaderItem(1)->text(), QStringLiteral("Rows"));

  // Unticking a channel takes its lines away; volts from the logged volts.
  QTest::mouseClick(Find<QCheckBox>("channel3"), Qt::LeftButton);
  EXPECT_TRUE(window_.LogLines().Lines(3).empty());
  auto* units = Find<QComboBox>("unitsBox");
  ASSERT_TRUE(units->isEnabled());
  units->setFocus();
  QTest::keyClick(units, Qt::Key_Down);
  EXPECT_NEAR(window_.LogLines().Lines(0)[1]->at(2).y(), 2.5 + 500 / 4096.0 * 5, 1e-6);
}

TEST_F(LogViewTest, AveragedLogsShowTheirRangeAndClassicOnesHaveNoVolts) {
  ASSERT_TRUE(window_.OpenFile(Write("avg.csv", SixRows(LogLayoutOf("classic", 8, {0, 3})))));
  const auto& bands = window_.LogLines().Bands(0);
  ASSERT_EQ(bands.size(), 2U);
  // Row 4: minimum 400, mean 400.25, maximum 403.
  EXPECT_EQ(bands[1]->lowerSeries()->at(1).y(), 400.0);
  EXPECT_EQ(bands[1]->upperSeries()->at(1).y(), 403.0);
  EXPECT_EQ(window_.LogLines().Lines(0)[1]->at(1).y(), 400.25);
  auto* units = Find<QComboBox>("unitsBox");
  EXPECT_FALSE(units->isEnabled());
  EXPECT_EQ(units->currentIndex(), 0);
  EXPECT_TRUE(Find<QLabel>("scaleSource")->text().contains(QStringLiteral("no volts")));
  EXPECT_EQ(Find<QTableWidget>("statistics")->item(1, 6)->text(), QStringLiteral("-"));

  // A capture afterwards gets every tab and the units back.
  std::vector<adc::SampleSet> sets(adc::AllChannelsSampleSets);
  ASSERT_TRUE(window_.OpenFile(Write("cap.txt", adc::AllChannelsFileText(sets))));
  EXPECT_EQ(window_.Log(), nullptr);
  EXPECT_TRUE(Find<QTabWidget>("views")->isTabEnabled(3));
  EXPECT_TRUE(units->isEnabled());
  EXPECT_TRUE(window_.LogLines().Lines(0).empty());
  EXPECT_EQ(window_.TimeSeries(0)->count(), 512);
  EXPECT_TRUE(Find<QCheckBox>("channel7")->isChecked());
}

TEST_F(LogViewTest, AFlappingBoardDoesNotGiveALinePerRow) {
  const logger::LogLayout layout = LogLayoutOf("version2", 1, {5});
  std::string text = LogHeadText(layout);
  const int rows = 2 * (static_cast<int>(LogPlot::kMaxLines) + 50);
  for (int n = 0; n < rows; ++n) {
    text += LogRowText(layout, n, n % 2 == 0 ? std::vector<int>{n} : std::vector<int>{});
  }
  ASSERT_TRUE(window_.OpenFile(Write("flap.csv", text)));
  const auto& lines = window_.LogLines().Lines(5);
  ASSERT_EQ(lines.size(), LogPlot::kMaxLines);
  EXPECT_EQ(lines.back()->count(), 1);
  EXPECT_EQ(lines.back()->at(0).x(), 2.0 * (LogPlot::kMaxLines - 1));
  // The other fifty good rows as points, none joined across a gap.
  const QScatterSeries* points = window_.LogLines().Points(5);
  ASSERT_NE(points, nullptr);
  ASSERT_EQ(points->count(), 50);
  EXPECT_EQ(points->at(0).x(), 2.0 * LogPlot::kMaxLines);
  EXPECT_EQ(points->at(49).y(), rows - 2.0);
  // Unticked, it goes.
  QTest::mouseClick(Find<QCheckBox>("channel5"), Qt::LeftButton);
  EXPECT_EQ(window_.LogLines().Points(5), nullptr);
  EXPECT_TRUE(window_.LogLines().Lines(5).empty());
}

TEST_F(LogViewTest, ALongLogIsThinnedUntilZoomedIn) {
  const logger::LogLayout layout = LogLayoutOf("version2", 1, {1});
  std::string text = LogHeadText(layout);
  constexpr int kRows = 6000;
  for (int n = 0; n < kRows; ++n) {
    // A slow ramp with one spike that thinning must not lose.
    text += LogRowText(layout, n, {n == 4321 ? 2000 : n / 10});
  }
  ASSERT_TRUE(window_.OpenFile(Write("long.csv", text)));
  const auto line = [this] { return window_.LogLines().Lines(1).front(); };
  ASSERT_EQ(window_.LogLines().Lines(1).size(), 1U);
  EXPECT_LE(line()->count(), 2 * LogPlot::kStretches + 2);
  EXPECT_GT(line()->count(), LogPlot::kStretches);
  const QList<QPointF> thinned = line()->points();
  EXPECT_TRUE(thinned.contains(QPointF(4321, 2000)));
  EXPECT_TRUE(std::is_sorted(thinned.begin(), thinned.end(),
                             [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));

  // Zoomed in with the wheel, every row in view is drawn.
  auto* view = Find<QChartView>("timeView");
  const QPoint middle = view->chart()->plotArea().center().toPoint();
  for (int turn = 0; turn < 6; ++turn) {
    QWheelEvent wheel(QPointF(middle), view->viewport()->mapToGlobal(QPointF(middle)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
  }
  auto* x_axis = qobject_cast<QValueAxis*>(view->chart()->axes(Qt::Horizontal).front());
  const double low = x_axis->min();
  const double high = x_axis->max();
  ASSERT_LT(high - low, 2000.0);
  const auto rows_in_view = static_cast<qsizetype>(std::floor(high) - std::ceil(low) + 1);
  // Drawn again once the zoom settles: the line then starts at the view.
  ASSERT_GT(low, 1.0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return line()->at(0).x() > 0.0; }, 5000));
  EXPECT_EQ(line()->count(), rows_in_view + 2);  // and one beyond each edge
  EXPECT_EQ(line()->at(1).x(), std::ceil(low));
}

TEST_F(LogViewTest, FollowReadsRowsAsTheyAreAppended) {
  const logger::LogLayout layout = LogLayoutOf("version2", 1, {0, 3});
  const std::string next = LogRowText(layout, 6, {600, -50});
  const QString path = Write("run.csv", SixRows(layout) + next.substr(0, 12));
  ASSERT_TRUE(window_.OpenFile(path));
  window_.SetFollow(true);
  QSignalSpy reloaded(&window_, &ViewerWindow::Reloaded);
  ASSERT_EQ(Runs(0).back().size(), 3U);

  // Still cut: the row waits.
  Append(path, next.substr(12, 10));
  ASSERT_TRUE(reloaded.wait(5000));
  EXPECT_EQ(window_.Log()->Rows(), 6U);
  EXPECT_EQ(Runs(0).back().size(), 3U);

  // Completed, then a gap and one more row: a third line after a break.
  Append(path, next.substr(22) + LogRowText(layout, 7, {}) + LogRowText(layout, 8, {800, -50}));
  while (window_.Log()->Rows() < 9 && reloaded.wait(5000)) {
  }
  ASSERT_EQ(window_.Log()->Rows(), 9U);
  EXPECT_EQ(Runs(0), (std::vector<std::vector<double>>{{0, 1}, {3, 4, 5, 6}, {8}}));
  EXPECT_EQ(Find<QTableWidget>("statistics")->item(0, 1)->text(), QStringLiteral("7"));

  // A bad row is named, and what was read stays.
  Append(path, "oops\n");
  ASSERT_TRUE(reloaded.wait(5000));
  EXPECT_TRUE(window_.statusBar()->currentMessage().contains(QStringLiteral("line 12:")))
      << window_.statusBar()->currentMessage().toStdString();
  EXPECT_EQ(window_.Log()->Rows(), 9U);
}

TEST_F(LogViewTest, ABadLogIsNamedAndTheDataExports) {
  ASSERT_TRUE(window_.OpenFile(Write("good.csv", SixRows(LogLayoutOf("version2", 1, {0, 3})))));
  std::string bad = SixRows(LogLayoutOf("version2", 1, {0, 3}));
  bad.insert(bad.find('\n') + 1, "x");
  EXPECT_FALSE(window_.OpenFile(Write("bad.csv", bad)));
  QApplication::processEvents();
  auto* box = window_.findChild<QMessageBox*>(QStringLiteral("errorMessage"));
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->text().contains(QStringLiteral("bad.csv: line 2: the header row")));
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(window_.Log()->Rows(), 6U);

  const std::string csv = folder_.File("data.csv");
  ASSERT_FALSE(window_.ExportCsv(QString::fromStdString(csv)));
  const std::string text = testing::ReadBytes(csv);
  EXPECT_EQ(text.substr(0, text.find('\n')),
            "seconds,status,ADC0_code,ADC0_volts,ADC3_code,ADC3_volts");
  EXPECT_NE(text.find("\n2.000000,gap,,,,\n3.000000,ok,300,"), std::string::npos) << text;

  // The pointer's readout names the row nearest in time.
  auto* view = Find<QChartView>("timeView");
  const QPoint at_row3 = view->chart()->mapToPosition(QPointF(3.1, 100)).toPoint();
  QTest::mouseMove(view->viewport(), at_row3);
  QMouseEvent move(QEvent::MouseMove, at_row3, view->viewport()->mapToGlobal(at_row3), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &move);
  // Each entry's blanks are non-breaking, so that it wraps whole.
  const QString readout =
      Find<QLabel>("cursorReadout")->text().replace(QChar(QChar::Nbsp), QLatin1Char(' '));
  EXPECT_TRUE(readout.contains(QStringLiteral("row at 3.000 s"))) << readout.toStdString();
  EXPECT_TRUE(readout.contains(QStringLiteral("ADC0 300"))) << readout.toStdString();
}

}  // namespace
}  // namespace kx::view
