#include <gtest/gtest.h>

#include <QApplication>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QMouseEvent>
#include <QScatterSeries>
#include <QTabWidget>
#include <QTest>

#include "support/linearity_files.h"
#include "view/linearity_tab.h"
#include "view/window_fixture.h"

namespace kx::view {
namespace {

using LinearityViewTest = ViewerWindowFixture;

// A result opens on its own tab, the others off; its marks and figures
// are the file's, and the pointer reads out the code under it.
TEST_F(LinearityViewTest, AResultShowsItsCurvesMarksAndFigures) {
  const testing::LinearityFiles files = testing::MakeLinearityFiles();
  Write("h.csv", files.histogram_csv);
  ASSERT_TRUE(window_.OpenFile(Write("h.csv.json", files.histogram_metadata)));
  auto* tabs = Find<QTabWidget>("views");
  auto& tab = window_.Tab<LinearityTab>();
  EXPECT_EQ(tabs->currentWidget(), &tab);
  for (int i = 0; i < tabs->count(); ++i) {
    EXPECT_EQ(tabs->isTabEnabled(i), tabs->widget(i) == &tab) << i;
  }
  EXPECT_EQ(tab.Dnl()->count(), 4094);  // the end codes have no figures
  ASSERT_EQ(tab.Marks()->count(), 1);
  EXPECT_EQ(tab.Marks()->at(0), QPointF(1000, -1));
  EXPECT_FALSE(tab.InlFit()->isVisible());
  EXPECT_TRUE(
      Find<QLabel>("linearityFigures")->text().contains(QStringLiteral("Missing codes: 1000")));

  Write("s.csv", files.sweep_csv);
  ASSERT_TRUE(window_.OpenFile(Write("s.csv.json", files.sweep_metadata)));
  EXPECT_EQ(tab.Inl()->count(), 64);
  EXPECT_EQ(tab.InlFit()->count(), 64);
  EXPECT_EQ(tab.Dnl()->count(), 63);  // no step below the first code
  ASSERT_EQ(tab.Marks()->count(), 1);
  EXPECT_EQ(tab.Marks()->at(0).x(), 30.0);
  EXPECT_TRUE(
      Find<QLabel>("linearityFigures")->text().contains(QStringLiteral("falls at code 30")));
  auto* view = Find<QChartView>("dnlView");
  QApplication::processEvents();
  const QPoint at = view->chart()->mapToPosition(QPointF(30, 0), tab.Dnl()).toPoint();
  QTest::mouseMove(view->viewport(), at);
  QMouseEvent move(QEvent::MouseMove, at, view->viewport()->mapToGlobal(at), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &move);
  const QString readout = Find<QLabel>("cursorReadout")->text();
  EXPECT_TRUE(readout.startsWith(QStringLiteral("Code 30: output 28.000 LSB")))
      << readout.toStdString();
  EXPECT_TRUE(readout.endsWith(QStringLiteral("a step down"))) << readout.toStdString();
}

}  // namespace
}  // namespace kx::view
