// A DAC box left with a bad text: its message comes first, one box at a time,
// and only then does the control that took the focus act.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <algorithm>
#include <functional>

#include "board/link_requests.h"
#include "panel/panel_actions.h"
#include "panel/panel_rig.h"
#include "panel/text_box.h"

namespace kx::testing {
namespace {

constexpr const char* kInvalid = "message: Invalid Hex Value";

void LeaveBadText(PanelRig& rig, int channel) {
  Retype(*rig.window, rig.window->txtDAC[static_cast<std::size_t>(channel)], QStringLiteral("G00"));
}

TEST(LeaveCheck, TheLoadGoesOutOnlyAfterTheMessageIsClosed) {
  PanelRig rig;
  LeaveBadText(rig, 1);
  const std::size_t skip = rig.Lines().size();
  std::size_t lines_while_shown = 0;
  std::string text_while_shown;
  rig.watcher->on_box = [&] {
    lines_while_shown = rig.Lines().size();
    text_while_shown = rig.window->txtDAC[1]->text().toStdString();
  };
  Click(*rig.window, rig.window->cmdLoadInputReg);

  ASSERT_EQ(rig.watcher->boxes.size(), 1U);
  EXPECT_EQ(lines_while_shown, skip) << "nothing is sent while the message is up";
  EXPECT_EQ(text_while_shown, "000");
  // Then the click acts, on the "000" the check left.
  const auto words = DacWords(Requests(rig.LinesAfter(skip)));
  ASSERT_EQ(words.size(), 16U);
  EXPECT_EQ(words[1].word, 0x00100000U);
  EXPECT_EQ(QApplication::focusWidget(), rig.window->txtDAC[1]);
}

TEST(LeaveCheck, TheMessageHasOneOkButtonAndNoIcon) {
  for (bool by_enter : {false, true}) {
    PanelRig rig;
    LeaveBadText(rig, 4);
    QTest::keyClick(rig.window->txtDAC[4], by_enter ? Qt::Key_Return : Qt::Key_Tab);
    Settle();
    ASSERT_EQ(rig.watcher->boxes.size(), 1U);
    EXPECT_EQ(rig.watcher->boxes[0].title, "Error");
    EXPECT_EQ(rig.watcher->boxes[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(rig.watcher->boxes[0].buttons, 1);
  }
}

TEST(LeaveCheck, ExitShowsTheMessageOverTheWindowThenEndsTheProgram) {
  PanelRig rig;
  LeaveBadText(rig, 3);
  Click(*rig.window, rig.window->Command2);
  ASSERT_EQ(rig.watcher->boxes.size(), 1U);
  EXPECT_TRUE(rig.watcher->boxes[0].window_visible);
  EXPECT_FALSE(rig.window->isVisible());
}

TEST(LeaveCheck, BoxesComeOneAtATimeInTheOrderTheEventsHappened) {
  struct Case {
    const char* name;
    std::function<void(PanelRig&)> click;
    std::string second;
  };
  const Case cases[] = {
      {"load refused for DAC5",
       [](PanelRig& rig) { Click(*rig.window, rig.window->cmdLoadInputReg); },
       "message: DAC codes above FFF do not fit in 12 bits:\nDAC5 \"1000\"\nNothing was sent."},
      {"capture", [](PanelRig& rig) { Click(*rig.window, rig.window->Command4); }, "save dialog"},
  };
  for (const Case& c : cases) {
    PanelRig rig;
    Retype(*rig.window, rig.window->txtDAC[5], QStringLiteral("1000"));
    LeaveBadText(rig, 2);
    rig.watcher->save_answers.emplace_back("");  // the dialog is cancelled
    c.click(rig);
    Settle();
    EXPECT_EQ(rig.watcher->order, (std::vector<std::string>{kInvalid, c.second})) << c.name;
  }
}

TEST(LeaveCheck, ACheckBoxClickedAwayIsTickedAfterTheMessage) {
  PanelRig rig;
  LeaveBadText(rig, 0);
  bool ticked_while_shown = true;
  rig.watcher->on_box = [&] { ticked_while_shown = rig.window->chkDACREG[9]->isChecked(); };
  Click(*rig.window, rig.window->chkDACREG[9]);
  ASSERT_EQ(rig.watcher->boxes.size(), 1U);
  EXPECT_TRUE(ticked_while_shown);
  EXPECT_FALSE(rig.window->chkDACREG[9]->isChecked());
}

// Tab and Shift+Tab move on from every list and come back to it, in both
// programs; a Tab walk from the last DAC box reaches every kind of control.
class KeyboardWalk : public ::testing::TestWithParam<const Edition*> {};

std::vector<QComboBox*> Lists(panel::FrmStartup& w) {
  std::vector<QComboBox*> lists;
  for (auto* group : {&w.cboPowerDown, &w.cboREFERENCE, &w.cboClearCode}) {
    lists.insert(lists.end(), group->begin(), group->end());
  }
  for (QComboBox* list : w.Combo1) {
    if (list != nullptr) {
      lists.push_back(list);
    }
  }
  return lists;
}

TEST_P(KeyboardWalk, TabAndShiftTabLeaveEveryListAndComeBack) {
  PanelRig rig(*GetParam());
  for (QComboBox* list : Lists(*rig.window)) {
    const std::string name = list->objectName().toStdString();
    for (bool forward : {true, false}) {
      ShowPageOf(*rig.window, list);
      list->setFocus(Qt::TabFocusReason);
      const Qt::KeyboardModifiers away = forward ? Qt::NoModifier : Qt::ShiftModifier;
      const Qt::KeyboardModifiers back = forward ? Qt::ShiftModifier : Qt::NoModifier;
      QTest::keyClick(list, Qt::Key_Tab, away);
      QWidget* next = QApplication::focusWidget();
      ASSERT_NE(next, nullptr) << name;
      EXPECT_NE(next, list) << name << (forward ? " Tab" : " Shift+Tab");
      QTest::keyClick(next, Qt::Key_Tab, back);
      EXPECT_EQ(QApplication::focusWidget(), list) << name;
      EXPECT_EQ(list->currentIndex(), -1) << name << ": a Tab chose an item";
    }
  }
}

TEST_P(KeyboardWalk, TabFromTheLastDacBoxReachesEveryControlOfThePage) {
  PanelRig rig(*GetParam());
  panel::FrmStartup& w = *rig.window;
  w.txtDAC[15]->setFocus(Qt::TabFocusReason);
  std::vector<QWidget*> reached;
  for (int step = 0; step < 200 && QApplication::focusWidget() != w.txtDAC[0]; ++step) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    reached.push_back(QApplication::focusWidget());
  }
  auto was_reached = [&](QWidget* control) {
    return std::find(reached.begin(), reached.end(), control) != reached.end();
  };
  for (QWidget* control : std::initializer_list<QWidget*>{
           w.cboPowerDown[0], w.cmdProgram[0], w.chkPoweredDown[3], w.chkLDAC[5],
           w.cmdProgramLDAC[0], w.cboREFERENCE[0], w.cboClearCode[0], w.Command2}) {
    EXPECT_TRUE(was_reached(control)) << control->objectName().toStdString();
  }
  EXPECT_EQ(QApplication::focusWidget(), w.txtDAC[0]) << "the walk goes round";
}

INSTANTIATE_TEST_SUITE_P(BothEditions, KeyboardWalk,
                         ::testing::Values(&Version2Edition, &ClassicEdition),
                         [](const auto& param_info) {
                           return std::string(param_info.param->centre_window ? "Version2"
                                                                              : "Classic");
                         });

}  // namespace
}  // namespace kx::testing
