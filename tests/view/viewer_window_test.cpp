#include "view/viewer_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QValueAxis>
#include <QWheelEvent>
#include <cmath>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "adc/capture_metadata.h"
#include "adc/sample_file.h"
#include "support/temp_folder.h"
#include "view/window_fixture.h"

namespace kx::view {
namespace {

// 512 sets: channel c holds a sine of 3 (c + 3) cycles around code 1000 +
// 100 c, `shift` added to every code.
std::string AllChannelsFile(int shift = 0) {
  std::vector<adc::SampleSet> sets(adc::AllChannelsSampleSets);
  for (int s = 0; s < adc::AllChannelsSampleSets; ++s) {
    for (int c = 0; c < adc::AdcChannels; ++c) {
      const double phase = 2 * std::numbers::pi * 3 * (c + 3) * s / 512.0;
      sets[static_cast<std::size_t>(s)][static_cast<std::size_t>(c)] =
          static_cast<std::int32_t>(std::lround(1000 + 100 * c + 900 * std::sin(phase))) + shift;
    }
  }
  return adc::AllChannelsFileText(sets);
}

std::string Channel0File() {
  std::vector<std::int32_t> replies;
  for (int i = 0; i < adc::Channel0Samples; ++i) {
    replies.push_back((2000 + i % 7) << 1);
  }
  return adc::Channel0FileText(replies);
}

class ViewerWindowTest : public ViewerWindowFixture {
 protected:
  void Click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
  }
};

TEST_F(ViewerWindowTest, OpensBothKindsOfCapture) {
  ASSERT_TRUE(window_.OpenFile(Write("all.txt", AllChannelsFile())));
  EXPECT_EQ(window_.Capture()->file.kind, analysis::CaptureKind::AllChannels);
  for (int c = 0; c < 16; ++c) {
    const auto* box = Find<QCheckBox>(("channel" + std::to_string(c)).c_str());
    EXPECT_TRUE(box->isEnabled() && box->isChecked()) << c;
    EXPECT_EQ(window_.TimeSeries(c)->count(), 512) << c;
  }
  auto* table = Find<QTableWidget>("statistics");
  EXPECT_EQ(table->rowCount(), 16);
  EXPECT_EQ(table->item(5, 0)->text(), QStringLiteral("ADC5"));
  EXPECT_EQ(table->item(0, 4)->text(), QStringLiteral("100"));  // 1000 - 900
  EXPECT_EQ(table->item(0, 5)->text(), QStringLiteral("1900"));
  EXPECT_TRUE(Find<QComboBox>("rangeBox")->isEnabled());

  ASSERT_TRUE(window_.OpenFile(Write("ch0.txt", Channel0File())));
  EXPECT_EQ(window_.Capture()->file.kind, analysis::CaptureKind::Channel0);
  EXPECT_TRUE(Find<QCheckBox>("channel0")->isEnabled());
  EXPECT_FALSE(Find<QCheckBox>("channel1")->isEnabled());
  EXPECT_FALSE(window_.TimeSeries(1)->isVisible());
  EXPECT_EQ(window_.TimeSeries(0)->count(), 1024);
  EXPECT_EQ(window_.TimeSeries(0)->at(3).y(), 2003.0);
  EXPECT_EQ(table->rowCount(), 1);
  // The channel-0 capture's own word fixes its range and coding.
  EXPECT_FALSE(Find<QComboBox>("codingBox")->isEnabled());
  EXPECT_EQ(Find<QComboBox>("codingBox")->currentIndex(), 1);
}

// What a person sees of the plots: round ticks, a colour per channel, a
// window that keeps its width, a histogram title that says what it counts.
TEST_F(ViewerWindowTest, PlotsReadAsAPersonExpects) {
  ASSERT_TRUE(window_.OpenFile(Write("all.txt", AllChannelsFile())));
  std::set<QRgb> colours;
  for (int c = 0; c < 16; ++c) {
    colours.insert(window_.TimeSeries(c)->color().rgb());
  }
  EXPECT_EQ(colours.size(), 16U);
  auto* tabs = Find<QTabWidget>("views");
  const int width = window_.width();
  for (int tab = 0; tab < tabs->count(); ++tab) {
    tabs->setCurrentIndex(tab);
    QApplication::processEvents();
    EXPECT_LE(window_.minimumSizeHint().width(), width) << tab;
  }
  for (const char* name : {"timeView", "histogramView", "spectrumView"}) {
    for (QAbstractAxis* axis : Find<QChartView>(name)->chart()->axes()) {
      const auto* values = qobject_cast<QValueAxis*>(axis);
      ASSERT_NE(values, nullptr);
      EXPECT_EQ(values->tickType(), QValueAxis::TicksDynamic) << name;
      EXPECT_EQ(values->tickAnchor(), 0.0) << name;
      const double step = values->tickInterval();
      const double leading = step / std::pow(10.0, std::floor(std::log10(step)));
      EXPECT_TRUE(std::abs(leading - 1) < 1e-9 || std::abs(leading - 2) < 1e-9 ||
                  std::abs(leading - 5) < 1e-9)
          << name << " " << step;
    }
  }
  EXPECT_TRUE(
      Find<QChartView>("histogramView")
          ->chart()
          ->title()
          .startsWith(QStringLiteral("How often each code came in the 512 samples of ADC0")));
}

TEST_F(ViewerWindowTest, NoWarningWithoutFollow) {
  static QStringList messages;
  messages.clear();
  const QtMessageHandler previous = qInstallMessageHandler(
      [](QtMsgType, const QMessageLogContext&, const QString& text) { messages.append(text); });
  {
    ViewerWindow window;
    window.OpenFile(Write("all.txt", AllChannelsFile()));
    window.SetFollow(false);
  }
  qInstallMessageHandler(previous);
  EXPECT_TRUE(messages.filter(QStringLiteral("QFileSystemWatcher")).isEmpty())
      << messages.join(QLatin1Char('\n')).toStdString();
}

TEST_F(ViewerWindowTest, TickedChannelsAreDrawnAndUntickedOnesAreNot) {
  ASSERT_TRUE(window_.OpenFile(Write("all.txt", AllChannelsFile())));
  auto* box = Find<QCheckBox>("channel3");
  Click(box);
  EXPECT_FALSE(box->isChecked());
  EXPECT_FALSE(window_.TimeSeries(3)->isVisible());
  EXPECT_EQ(window_.TimeSeries(3)->count(), 0);
  EXPECT_TRUE(window_.TimeSeries(4)->isVisible());
  Click(box);
  EXPECT_TRUE(window_.TimeSeries(3)->isVisible());
  EXPECT_EQ(window_.TimeSeries(3)->count(), 512);
  // Ticks stay as they were when the file is read again.
  Click(Find<QCheckBox>("channel9"));
  ASSERT_TRUE(window_.OpenFile(Write("all.txt", AllChannelsFile(1))));
  EXPECT_FALSE(Find<QCheckBox>("channel9")->isChecked());
  EXPECT_FALSE(window_.TimeSeries(9)->isVisible());
}

TEST_F(ViewerWindowTest, CodesOrVoltsAndTheScaleControls) {
  ASSERT_TRUE(window_.OpenFile(Write("all.txt", AllChannelsFile())));
  auto* units = Find<QComboBox>("unitsBox");
  auto* coding = Find<QComboBox>("codingBox");
  // Two's complement (the default): code 1000 sits at 1000 on the line.
  EXPECT_EQ(window_.TimeSeries(0)->at(0).y(), 1000.0);
  units->setFocus();
  QTest::keyClick(units, Qt::Key_Down);
  EXPECT_EQ(units->currentIndex(), 1);
  // Two's complement 1000 is mid-scale plus 1000 codes on a 5 V span.
  EXPECT_NEAR(window_.TimeSeries(0)->at(0).y(), (2048 + 1000) / 4096.0 * 5.0, 1e-6);
  coding->setFocus();
  QTest::keyClick(coding, Qt::Key_Down);
  EXPECT_EQ(coding->currentIndex(), 1);
  EXPECT_NEAR(window_.TimeSeries(0)->at(0).y(), 1000 / 4096.0 * 5.0, 1e-6);
  auto* reference = Find<QDoubleSpinBox>("referenceBox");
  reference->setFocus();
  QTest::keyClick(reference, Qt::Key_PageUp);  // ten steps of 0.01 V
  EXPECT_DOUBLE_EQ(reference->value(), 2.6);
  EXPECT_NEAR(window_.TimeSeries(0)->at(0).y(), 1000 / 4096.0 * 5.2, 1e-6);
  EXPECT_EQ(Find<QTableWidget>("statistics")->item(0, 6)->text(),
            QString::number(window_.Analysis().stats[0].mean_volts, 'f', 4));
  QTest::keyClick(units, Qt::Key_Up);
  EXPECT_EQ(window_.TimeSeries(0)->at(0).y(), 1000.0);
}

TEST_F(ViewerWindowTest, MetadataBesideTheFileFixesTheScale) {
  const QString path = Write("meta.txt", AllChannelsFile());
  adc::CaptureMetadata metadata;
  metadata.half_span = true;
  metadata.straight_binary = true;
  metadata.reference_volts = 2.048;
  ASSERT_FALSE(adc::WriteMetadataFile(path.toStdString(), metadata));
  ASSERT_TRUE(window_.OpenFile(path));
  EXPECT_EQ(Find<QComboBox>("rangeBox")->currentIndex(), 1);
  EXPECT_EQ(Find<QComboBox>("codingBox")->currentIndex(), 1);
  EXPECT_DOUBLE_EQ(Find<QDoubleSpinBox>("referenceBox")->value(), 2.048);
  EXPECT_FALSE(Find<QDoubleSpinBox>("referenceBox")->isEnabled());
  EXPECT_TRUE(Find<QLabel>("scaleSource")->text().contains(QStringLiteral("meta.txt.json")));
  EXPECT_NEAR(window_.Analysis().channels[0].volts[0], 1000 / 4096.0 * 2.048, 1e-6);
}

TEST_F(ViewerWindowTest, ABadFileIsNamedAndWhatWasShownStays) {
  ASSERT_TRUE(window_.OpenFile(Write("good.txt", AllChannelsFile())));
  std::string text = AllChannelsFile();
  text.resize(text.size() / 2);
  EXPECT_FALSE(window_.OpenFile(Write("cut.txt", text)));
  QApplication::processEvents();
  auto* box = window_.findChild<QMessageBox*>(QStringLiteral("errorMessage"));
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->isVisible());
  EXPECT_TRUE(box->text().contains(QStringLiteral("cut.txt: line ")));
  EXPECT_TRUE(box->text().contains(QStringLiteral("the file ends inside this line")));
  EXPECT_EQ(window_.Capture()->path, folder_.File("good.txt"));
  EXPECT_EQ(window_.TimeSeries(0)->count(), 512);
  QTest::keyClick(box, Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_EQ(window_.findChild<QMessageBox*>(QStringLiteral("errorMessage")), nullptr);
}

TEST_F(ViewerWindowTest, FollowPicksUpAReplacedFile) {
  const QString path = Write("follow.txt", AllChannelsFile());
  ASSERT_TRUE(window_.OpenFile(path));
  window_.SetFollow(true);
  QSignalSpy reloaded(&window_, &ViewerWindow::Reloaded);
  // The captures replace the file by renaming a new one over it.
  ASSERT_FALSE(adc::WriteFileReplacing(path.toStdString(), AllChannelsFile(5)));
  ASSERT_TRUE(reloaded.wait(5000));
  EXPECT_EQ(window_.TimeSeries(0)->at(0).y(), 1005.0);
  // And again: the watch survived the first replacement.
  ASSERT_FALSE(adc::WriteFileReplacing(path.toStdString(), AllChannelsFile(9)));
  ASSERT_TRUE(reloaded.wait(5000));
  EXPECT_EQ(window_.TimeSeries(0)->at(0).y(), 1009.0);
}

TEST_F(ViewerWindowTest, ExportsThePlotAndTheData) {
  ASSERT_TRUE(window_.OpenFile(Write("all.txt", AllChannelsFile())));
  const std::string png = folder_.File("plot.png");
  ASSERT_TRUE(window_.ExportPng(QString::fromStdString(png)));
  const QImage image(QString::fromStdString(png));
  EXPECT_FALSE(image.isNull());
  EXPECT_GT(image.width(), 200);

  const std::string csv = folder_.File("data.csv");
  ASSERT_FALSE(window_.ExportCsv(QString::fromStdString(csv)));
  const std::string text = testing::ReadBytes(csv);
  EXPECT_EQ(text.rfind("sample_set,ADC0_code,ADC0_volts,ADC1_code,", 0), 0U);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 513);
  // Set 0: channel 0 is code 1000, two's complement on a 5 V span.
  EXPECT_NE(text.find("\n0,1000,3.720703,1100,"), std::string::npos);
  EXPECT_TRUE(window_.ExportCsv(QString::fromStdString(folder_.File("no/such/folder.csv"))));
}

TEST_F(ViewerWindowTest, PointerReadoutAndWheelZoom) {
  ASSERT_TRUE(window_.OpenFile(Write("all.txt", AllChannelsFile())));
  auto* view = Find<QChartView>("timeView");
  const QPoint middle = view->chart()->plotArea().center().toPoint();
  QTest::mouseMove(view->viewport(), middle);
  QMouseEvent move(QEvent::MouseMove, middle, view->viewport()->mapToGlobal(middle), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &move);
  const QString readout = Find<QLabel>("cursorReadout")->text();
  EXPECT_TRUE(readout.startsWith(QStringLiteral("Set 25"))) << readout.toStdString();
  EXPECT_TRUE(readout.contains(QStringLiteral("ADC15"))) << readout.toStdString();
  // All sixteen channels fit: the readout wraps within the window.
  auto* label = Find<QLabel>("cursorReadout");
  QApplication::processEvents();
  EXPECT_LE(label->minimumSizeHint().width(), window_.width());
  EXPECT_LE(label->heightForWidth(label->width()), label->height());

  auto* x_axis = qobject_cast<QValueAxis*>(view->chart()->axes(Qt::Horizontal).front());
  const double before = x_axis->max() - x_axis->min();
  QWheelEvent wheel(QPointF(middle), view->viewport()->mapToGlobal(QPointF(middle)), QPoint(),
                    QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view->viewport(), &wheel);
  EXPECT_LT(x_axis->max() - x_axis->min(), before * 0.9);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, middle);
  EXPECT_NEAR(x_axis->max() - x_axis->min(), before, 1e-6);
}

TEST_F(ViewerWindowTest, SpectrumOfTheChosenChannelAndWindow) {
  ASSERT_TRUE(window_.OpenFile(Write("all.txt", AllChannelsFile())));
  auto* channel = Find<QComboBox>("spectrumChannel");
  auto* window = Find<QComboBox>("windowBox");
  ASSERT_TRUE(window_.CurrentSpectrum());
  EXPECT_EQ(window_.CurrentSpectrum()->fundamental_bin, 9);
  channel->setFocus();
  QTest::keyClick(channel, Qt::Key_Down);
  EXPECT_EQ(window_.CurrentSpectrum()->fundamental_bin, 12);
  window->setFocus();
  QTest::keyClick(window, Qt::Key_Down);
  EXPECT_EQ(window_.CurrentSpectrum()->window, analysis::WindowKind::Hann);
  const QString figures = Find<QLabel>("spectrumFigures")->text();
  for (const char* part : {"ENOB", "SFDR", "worst spur at", "H2 ", "H5 "}) {
    EXPECT_TRUE(figures.contains(QLatin1String(part))) << part << " " << figures.toStdString();
  }
  // Channel 1's 12 cycles: its harmonics marked at 24 to 60 cycles.
  const QScatterSeries* harmonics = window_.Tab<SpectrumTab>().Harmonics();
  ASSERT_EQ(harmonics->count(), 4);
  EXPECT_DOUBLE_EQ(harmonics->at(0).x(), 24 / 512.0);
  auto* axis = qobject_cast<QValueAxis*>(
      Find<QChartView>("spectrumView")->chart()->axes(Qt::Horizontal).front());
  EXPECT_EQ(axis->titleText(), QStringLiteral("Frequency (cycles per sample set)"));

  // Host times over the capture: 512 samples in 51.2 ms, 10 kHz.
  const QString timed = Write("timed.txt", AllChannelsFile());
  adc::CaptureMetadata metadata;
  metadata.timed_sets = 67;
  metadata.sets_spread_seconds = 0.0512;
  ASSERT_FALSE(adc::WriteMetadataFile(timed.toStdString(), metadata));
  ASSERT_TRUE(window_.OpenFile(timed));
  EXPECT_TRUE(axis->titleText().startsWith(QStringLiteral("Frequency (Hz")))
      << axis->titleText().toStdString();
  EXPECT_DOUBLE_EQ(axis->max(), 5000.0);
  EXPECT_DOUBLE_EQ(harmonics->at(0).x(), 24 / 512.0 * 10000.0);
  EXPECT_TRUE(Find<QLabel>("spectrumFigures")->text().contains(QStringLiteral("468.8 Hz")));
}

}  // namespace
}  // namespace kx::view
