// A set-up given at start: the window shows the state the operator left in
// another window, and its next click sends what that window's would; a bad
// file is told, and the window stays as it started.
#include <gtest/gtest.h>

#include <QApplication>

#include "panel/panel_actions.h"
#include "panel/panel_rig.h"
#include "panel/text_box.h"
#include "session/setup_file.h"
#include "support/temp_folder.h"

namespace kx::testing {
namespace {

// The window of a program started with --setup FILE.
void StartWithSetup(PanelRig& rig, const std::string& file) {
  rig.window->Form_Load();
  rig.window->LoadSetup(file);
  rig.window->show();
  QApplication::setActiveWindow(rig.window.get());
  QApplication::processEvents();
}

class PanelSetupTest : public ::testing::TestWithParam<const Edition*> {};

TEST_P(PanelSetupTest, TheWindowShowsTheSetupAndItsNextClickSendsTheSameWords) {
  const TempFolder folder;
  PanelRig operated(*GetParam());
  panel::FrmStartup& left = *operated.window;
  ChooseItem(left, left.cboPowerDown[0], 2);
  Click(left, left.chkPoweredDown[1]);
  Click(left, left.cmdProgram[0]);
  Click(left, left.chkLDAC[9]);
  Click(left, left.cmdProgramLDAC[1]);
  ChooseItem(left, left.cboREFERENCE[1], 1);
  ChooseItem(left, left.cboClearCode[0], 2);
  Click(left, left.cmdLDAC[1]);
  ChooseItem(left, left.Combo1[1], 1);
  Retype(left, left.txtDAC[3], "7ff");
  Click(left, left.cmdLoadDACReg);
  const std::string file = folder.File("bench.json");
  ASSERT_FALSE(session::WriteSetupFile(file, left.CurrentSetup()).has_value());

  PanelRig started(*GetParam(), {}, false);
  StartWithSetup(started, file);
  panel::FrmStartup& right = *started.window;
  EXPECT_TRUE(started.watcher->boxes.empty());
  EXPECT_EQ(right.cboPowerDown[0]->currentIndex(), 2);
  EXPECT_EQ(right.cboREFERENCE[1]->currentIndex(), 1);
  EXPECT_EQ(right.cboClearCode[0]->currentIndex(), 2);
  EXPECT_EQ(right.Combo1[1]->currentIndex(), 1);
  EXPECT_EQ(right.txtDAC[3]->text(), "7FF");
  for (std::size_t i = 0; i < right.chkLDAC.size(); ++i) {
    EXPECT_EQ(right.chkPoweredDown[i]->isChecked(), left.chkPoweredDown[i]->isChecked()) << i;
    EXPECT_EQ(right.chkLDAC[i]->isChecked(), left.chkLDAC[i]->isChecked()) << i;
  }
  EXPECT_EQ(right.CurrentSetup(), left.CurrentSetup());
  const std::size_t left_before = operated.Lines().size();
  const std::size_t right_before = started.Lines().size();
  Click(left, left.cmdLoadDACReg);
  Click(right, right.cmdLoadDACReg);
  EXPECT_EQ(Requests(started.LinesAfter(right_before)).size(), 17U);
  EXPECT_EQ(DacWords(Requests(started.LinesAfter(right_before))),
            DacWords(Requests(operated.LinesAfter(left_before))));
}

TEST_P(PanelSetupTest, ABadFileIsToldAndTheWindowStartsAsItWould) {
  const TempFolder folder;
  WriteBytes(folder.File("bad.json"), "{\"format\": \"kx7312-setup\", \"version\": \"1\"}");
  PanelRig started(*GetParam(), {}, false);
  StartWithSetup(started, folder.File("bad.json"));
  ASSERT_EQ(started.watcher->boxes.size(), 1U);
  EXPECT_EQ(started.watcher->boxes[0].title, "Set-up");
  EXPECT_EQ(started.watcher->boxes[0].text,
            "The set-up was not loaded: " + folder.File("bad.json") +
                ": version: \"1\" is no version number");
  PanelRig plain(*GetParam());
  EXPECT_EQ(started.Lines(), plain.Lines());
  EXPECT_EQ(started.window->CurrentSetup(), plain.window->CurrentSetup());
  EXPECT_EQ(started.window->cboPowerDown[0]->currentIndex(), -1);
}

INSTANTIATE_TEST_SUITE_P(Editions, PanelSetupTest,
                         ::testing::Values(&Version2Edition, &ClassicEdition));

}  // namespace
}  // namespace kx::testing
