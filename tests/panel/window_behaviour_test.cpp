// How the window behaves under the operator's keys and mouse, before any
// operation of the DAC or ADC side is involved.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <map>

#include "panel/panel_actions.h"
#include "panel/panel_rig.h"
#include "panel/text_box.h"

namespace kx::testing {
namespace {

// Everything the operator can see change: texts, ticks, choices.
std::map<std::string, std::string> Snapshot(QWidget* window) {
  std::map<std::string, std::string> state;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    const std::string name = w->objectName().toStdString();
    if (name.empty()) {
      continue;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      state[name] = edit->text().toStdString();
    } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
      state[name] = box->isChecked() ? "1" : "0";
    } else if (auto* option = qobject_cast<QRadioButton*>(w)) {
      state[name] = option->isChecked() ? "1" : "0";
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
      state[name] = std::to_string(combo->currentIndex());
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
      state[name] = label->text().toStdString();
    }
  }
  return state;
}

TEST(WindowOpens, OnTheFirstPageWithDac0FocusedAndItsCodeSelected) {
  for (const Edition* edition : {&Version2Edition, &ClassicEdition}) {
    PanelRig rig(*edition);
    EXPECT_EQ(rig.window->SSTab1->currentIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), rig.window->txtDAC[0]);
    EXPECT_EQ(rig.window->txtDAC[0]->selectedText().toStdString(), "1FF");
    EXPECT_EQ(rig.window->Label2->text().toStdString(), "");
  }
}

TEST(WindowFocus, TabWalksTheDacBoxesInChannelOrder) {
  PanelRig rig;
  for (int i = 1; i < 16; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), rig.window->txtDAC[static_cast<std::size_t>(i)]) << i;
    // Each box selects its first three characters as it takes the focus.
    EXPECT_EQ(rig.window->txtDAC[static_cast<std::size_t>(i)]->selectionStart(), 0);
    EXPECT_EQ(rig.window->txtDAC[static_cast<std::size_t>(i)]->selectedText().size(), 3);
  }
}

TEST(WindowFocus, TypingOverTheSelectedCodeReplacesIt) {
  PanelRig rig;
  QTest::keyClick(rig.window->txtDAC[0], Qt::Key_8);
  EXPECT_EQ(rig.window->txtDAC[0]->text().toStdString(), "8");
}

TEST(WindowFocus, ShortTextIsSelectedWholeLongerTextToItsThirdCharacter) {
  PanelRig rig;
  rig.window->txtDAC[1]->setText("A");
  rig.window->txtDAC[2]->setText("12345");
  QTest::keyClick(rig.window->txtDAC[0], Qt::Key_Tab);
  EXPECT_EQ(rig.window->txtDAC[1]->selectedText().toStdString(), "A");
  QTest::keyClick(rig.window->txtDAC[1], Qt::Key_Tab);
  EXPECT_EQ(rig.window->txtDAC[2]->selectedText().toStdString(), "123");
}

TEST(AutoLdacEntry, ChoosingItKeepsItsCheckMark) {
  PanelRig rig;
  rig.window->mnuAutoLDAC->trigger();
  EXPECT_TRUE(rig.window->mnuAutoLDAC->isChecked());
  rig.window->mnuAutoLDAC->trigger();
  EXPECT_TRUE(rig.window->mnuAutoLDAC->isChecked());
}

TEST(DropDowns, TypingChangesNeitherChoiceNorTextAndSendsNothing) {
  PanelRig rig;
  std::vector<QComboBox*> combos = {rig.window->Combo1[0], rig.window->Combo1[1],
                                    rig.window->Combo1[2]};
  for (int g = 0; g < 2; ++g) {
    combos.push_back(rig.window->cboPowerDown[static_cast<std::size_t>(g)]);
    combos.push_back(rig.window->cboREFERENCE[static_cast<std::size_t>(g)]);
    combos.push_back(rig.window->cboClearCode[static_cast<std::size_t>(g)]);
  }
  const std::size_t sent = rig.Lines().size();
  for (QComboBox* combo : combos) {
    const int page = combo->objectName().startsWith("Combo1")
                         ? 2
                         : (combo->objectName().endsWith("(1)") ? 1 : 0);
    ClickTab(*rig.window, page);
    combo->setFocus();
    const std::string before = combo->placeholderText().toStdString();
    // Letters that start items ("1K", "Three", "Internal", "Weak", "0V",
    // "Straight") would pick them through keyboard search.
    QTest::keyClicks(combo, "1TIWS0x tw");
    QTest::keyClick(combo, Qt::Key_Return);
    EXPECT_EQ(combo->currentIndex(), -1) << combo->objectName().toStdString();
    EXPECT_EQ(combo->placeholderText().toStdString(), before);
  }
  EXPECT_EQ(rig.Lines().size(), sent);
}

TEST(DropDowns, KeyboardSearchCannotChangeAChosenItem) {
  PanelRig rig;
  ClickTab(*rig.window, 0);
  QComboBox* combo = rig.window->cboPowerDown[0];
  combo->showPopup();
  QAbstractItemView* view = combo->view();
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                    view->visualRect(view->model()->index(1, 0)).center());
  ASSERT_EQ(combo->currentIndex(), 1);
  combo->setFocus();
  QTest::keyClicks(combo, "T1N");
  EXPECT_EQ(combo->currentIndex(), 1);
}

TEST(TabPages, SwitchingChangesNoTextTickOrChoice) {
  PanelRig rig;
  const auto before = Snapshot(rig.window.get());
  for (int page : {1, 2, 3, 0, 3, 1}) {
    ClickTab(*rig.window, page);
    EXPECT_EQ(rig.window->SSTab1->currentIndex(), page);
  }
  EXPECT_EQ(Snapshot(rig.window.get()), before);
}

TEST(TabPages, ChannelZeroToFileIsNeverShown) {
  PanelRig rig;
  ClickTab(*rig.window, 3);
  EXPECT_TRUE(rig.window->cmdCLR[0]->isVisible());
  EXPECT_FALSE(rig.window->Command3->isVisible());
  EXPECT_FALSE(rig.window->Command3->isVisibleTo(rig.window.get()));
}

TEST(TabPages, TheBoxUnderDigitZeroOnPageOneIsChannelEight) {
  PanelRig rig;
  ClickTab(*rig.window, 1);
  struct Row {
    int label;
    std::array<QCheckBox*, 16>* boxes;
  };
  for (const Row row : {Row{8, &rig.window->chkPoweredDown}, Row{24, &rig.window->chkLDAC}}) {
    QLabel* digit = rig.window->Label3[static_cast<std::size_t>(row.label)];
    ASSERT_EQ(digit->text().toStdString(), "0");
    // The box straight under the digit, found by where it is drawn.
    const QPoint below = digit->mapTo(rig.window.get(), QPoint(digit->width() / 2, 0)) +
                         QPoint(0, digit->height() + 10);
    auto* box = qobject_cast<QCheckBox*>(rig.window->childAt(below));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box, (*row.boxes)[8]);
    QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
    EXPECT_TRUE((*row.boxes)[8]->isChecked());
    EXPECT_FALSE((*row.boxes)[15]->isChecked());
  }
}

TEST(TabPages, DigitsReadSevenToZeroFromLeftToRight) {
  PanelRig rig;
  for (int first : {0, 8, 16, 24}) {
    for (int d = 0; d < 7; ++d) {
      const auto at = static_cast<std::size_t>(first + d);
      QLabel* right = rig.window->Label3[at];
      QLabel* left = rig.window->Label3[at + 1];
      EXPECT_LT(left->x(), right->x()) << first + d;
    }
  }
}

TEST(WindowFrame, FixedClientAreaKeepsHiddenControlsOutOfView) {
  struct Case {
    const Edition* edition;
    int client_height;
  };
  for (const Case c : {Case{&Version2Edition, 530}, Case{&ClassicEdition, 481}}) {
    PanelRig rig(*c.edition);
    QWidget* client = rig.window->centralWidget();
    EXPECT_EQ(client->size(), QSize(866, c.client_height));
    EXPECT_EQ(rig.window->minimumSize(), rig.window->maximumSize());

    const QRect pulse = rig.window->cmdPulseLDAC->geometry();
    if (c.edition->pulse_ldac_visible) {
      EXPECT_TRUE(client->rect().contains(pulse));
      EXPECT_LT(pulse.left(), 100);  // lower left
      EXPECT_GT(pulse.top(), c.client_height / 2);
    } else {
      EXPECT_GE(pulse.top(), c.client_height);
      EXPECT_EQ(rig.window->cmdPulseLDAC->focusPolicy(), Qt::NoFocus);
    }
    EXPECT_GE(rig.window->Picture1->geometry().left(), 866);

    // Out of view, yet it takes the focus that LF hands it.
    rig.window->LF();
    EXPECT_EQ(QApplication::focusWidget(), rig.window->Picture1);
  }
}

TEST(WindowFrame, LeavingTheBoxForThePictureIsALostFocus) {
  PanelRig rig;
  int lost = 0;
  rig.window->txtDAC[0]->LostFocus = [&lost] { ++lost; };
  rig.window->LF();
  EXPECT_EQ(lost, 1);
}

}  // namespace
}  // namespace kx::testing
