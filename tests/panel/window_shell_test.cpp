// Start-up, the EXIT button, the Version and Reload USB entries.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "panel/panel_rig.h"
#include "panel/text_box.h"
#include "panel/window_placement.h"

namespace kx::testing {
namespace {

const std::vector<std::string> kStartupAdcWords = {
    "request handle=1 code=0xE4 value=0xFFFF index=0 dir=1 len=3",
    "request handle=1 code=0xE4 value=0xFFFF index=0 dir=1 len=3",
    "request handle=1 code=0xE4 value=0x8390 index=-1 dir=1 len=3",
    "request handle=1 code=0xE4 value=0xFFFF index=0 dir=1 len=3",
};

std::string WithoutResult(const std::string& line) {
  return line.substr(0, line.find(" status="));
}

TEST(FormLoad, BootsTheBoardThenSendsTheFourAdcWords) {
  PanelRig rig;
  const std::vector<std::string> lines = rig.Lines();
  ASSERT_EQ(lines.size(), 8U);
  EXPECT_EQ(lines[2].rfind("download handle=1 status=0 path=", 0), 0U);
  EXPECT_EQ(lines[3], "request handle=1 code=0xE0 value=0x0000 index=0 dir=0 len=0 status=0");
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(WithoutResult(lines[4 + i]), kStartupAdcWords[i]) << i;
  }
  EXPECT_TRUE(rig.watcher->boxes.empty());
  EXPECT_EQ(rig.window->Label2->text().toStdString(), "");
  for (const std::int32_t code : rig.window->AdcResults()) {
    EXPECT_EQ(code, 0);
  }
}

TEST(FormLoad, ClassicSendsTheSameWordsWithoutHandle) {
  PanelRig rig(ClassicEdition);
  const std::vector<std::string> lines = rig.Lines();
  ASSERT_EQ(lines.size(), 6U);
  EXPECT_EQ(lines[0].rfind("loadfirmware status=0 path=", 0), 0U);
  EXPECT_EQ(lines[1], "request code=0xE0 value=0x0000 index=0 dir=0 len=0 status=0");
  EXPECT_EQ(WithoutResult(lines[4]), "request code=0xE4 value=0x8390 index=-1 dir=1 len=3");
  EXPECT_TRUE(rig.watcher->boxes.empty());
}

TEST(FormLoad, AbsentBoardGetsOneMessageBeforeTheWindowAndStartUpGoesOn) {
  for (const Edition* edition : {&Version2Edition, &ClassicEdition}) {
    board::sim::SimSettings absent;
    absent.present = false;
    PanelRig rig(*edition, absent);
    ASSERT_EQ(rig.watcher->boxes.size(), 1U);
    const ModalWatcher::Box& box = rig.watcher->boxes[0];
    EXPECT_EQ(box.text, "No Evaluation Board Found");
    EXPECT_EQ(box.title, edition == &Version2Edition ? ": 1" : ": -1");
    EXPECT_EQ(box.icon, QMessageBox::Warning);
    EXPECT_FALSE(box.window_visible);

    const std::vector<std::string> lines = rig.Lines();
    ASSERT_GE(lines.size(), 5U);
    const std::size_t first_adc = lines.size() - 4;
    EXPECT_NE(lines[first_adc - 1].find("code=0xE0"), std::string::npos);
    EXPECT_NE(lines[first_adc + 2].find("value=0x8390 index=-1"), std::string::npos);
    EXPECT_EQ(rig.window->SSTab1->currentIndex(), 0);
    EXPECT_EQ(rig.window->Label2->text().toStdString(), "");
    EXPECT_TRUE(rig.window->isVisible());
  }
}

TEST(ExitButton, ClosesTheWindowAndSendsNothing) {
  PanelRig rig;
  const std::size_t sent = rig.Lines().size();
  QTest::mouseClick(rig.window->Command2, Qt::LeftButton);
  EXPECT_FALSE(rig.window->isVisible());
  EXPECT_EQ(rig.Lines().size(), sent);
  EXPECT_EQ(rig.window->Command2->text().toStdString(), "EXIT");
  EXPECT_TRUE(rig.window->Command2->font().bold());
}

TEST(VersionEntry, ShowsTheProgramsVersion) {
  struct Case {
    const Edition* edition;
    const char* text;
  };
  for (const Case c :
       {Case{&Version2Edition, "Version 1.05"}, Case{&ClassicEdition, "Version 1.02"}}) {
    PanelRig rig(*c.edition);
    const std::size_t sent = rig.Lines().size();
    rig.window->mnuVersion->trigger();
    ASSERT_EQ(rig.watcher->boxes.size(), 1U);
    EXPECT_EQ(rig.watcher->boxes[0].text, c.text);
    EXPECT_EQ(rig.watcher->boxes[0].title, "KX7312");
    EXPECT_EQ(rig.watcher->boxes[0].icon, QMessageBox::Information);
    EXPECT_EQ(rig.Lines().size(), sent);
  }
}

TEST(VersionEntry, AMessageBoxIsNoFocusChangeOfTheDacBox) {
  PanelRig rig;
  int got = 0;
  int lost = 0;
  rig.window->txtDAC[0]->GotFocus = [&got] { ++got; };
  rig.window->txtDAC[0]->LostFocus = [&lost] { ++lost; };
  rig.window->mnuVersion->trigger();
  QApplication::setActiveWindow(rig.window.get());
  QApplication::processEvents();
  EXPECT_EQ(got, 0);
  EXPECT_EQ(lost, 0);
}

TEST(ReloadUsb, DownloadsAgainOnANewHandle) {
  PanelRig rig;
  const std::size_t sent = rig.Lines().size();
  rig.window->mnuReloadUSB->trigger();
  const std::vector<std::string> lines = rig.LinesAfter(sent);
  ASSERT_EQ(lines.size(), 4U);
  EXPECT_EQ(lines[1], "connect vendor=0x1234 product=0x7312 board=1 handle=2");
  EXPECT_EQ(lines[2].rfind("download handle=2 status=0", 0), 0U);
  EXPECT_EQ(lines[3], "request handle=2 code=0xE0 value=0x0000 index=0 dir=0 len=0 status=0");
  EXPECT_EQ(rig.window->link().State().BoardHandle, 2);
}

TEST(Centring, HalfScreenLessHalfWindowNotClamped) {
  struct Case {
    QSize screen;
    QSize window;
    QPoint top_left;
  };
  const Case cases[] = {
      {{1920, 1080}, {868, 572}, {526, 254}}, {{1024, 768}, {868, 572}, {78, 98}},
      {{800, 600}, {868, 572}, {-34, 14}},  // wider than the screen
      {{640, 480}, {868, 572}, {-114, -46}},  {{868, 572}, {868, 572}, {0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(panel::CentredTopLeft(c.screen, c.window), c.top_left);
  }
}

// The real placement of the shown window, on whatever screen the test runs
// (offscreen, and Xvfb at more than one size: see the CMake file).
TEST(Placement, TheShownWindowIsCentredOnTheFullScreenWithItsOuterSize) {
  PanelRig rig(Version2Edition, {}, false);
  panel::FrmStartup& w = *rig.window;
  const QPoint before = w.pos();
  w.Form_Load();
  w.show();
  const QRect screen = w.screen()->geometry();
  const QRect frame = w.frameGeometry();
  // The fixed size, not Qt's default for a window not yet laid out.
  EXPECT_EQ(w.size(), w.minimumSize());
  EXPECT_EQ(w.centralWidget()->width(), 12990 / 15);
  // Centred to the pixel by plain arithmetic, whatever the helper does.
  for (int round = 0; round < 50 && w.frameGeometry().topLeft() == before; ++round) {
    QTest::qWait(20);
  }
  const QPoint at = w.frameGeometry().topLeft();
  EXPECT_LE(std::abs(2 * at.x() - (screen.width() - frame.width())), 1)
      << at.x() << " on a screen " << screen.width() << " wide, window " << frame.width();
  EXPECT_LE(std::abs(2 * at.y() - (screen.height() - frame.height())), 1)
      << at.y() << " on a screen " << screen.height() << " high, window " << frame.height();
  EXPECT_EQ(at, panel::CentredTopLeft(screen.size(), frame.size()));
}

TEST(Placement, TheEarlierProgramIsLeftWhereThePlatformPutsIt) {
  PanelRig rig(ClassicEdition, {}, false);
  const QPoint before = rig.window->pos();
  rig.window->Form_Load();
  EXPECT_EQ(rig.window->pos(), before);
}

}  // namespace
}  // namespace kx::testing
