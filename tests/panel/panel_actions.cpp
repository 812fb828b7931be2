#include "panel/panel_actions.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "board/link_requests.h"

namespace kx::testing {

void Settle() {
  for (int round = 0; round < 3; ++round) {
    QApplication::processEvents();
  }
}

void ClickTab(panel::FrmStartup& window, int page) {
  QTabBar* bar = window.SSTab1->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
  QApplication::processEvents();
}

void ShowPageOf(panel::FrmStartup& window, QWidget* control) {
  for (QWidget* w = control; w != nullptr; w = w->parentWidget()) {
    const int page = window.SSTab1->indexOf(w);
    if (page >= 0) {
      if (window.SSTab1->currentIndex() != page) {
        ClickTab(window, page);
      }
      return;
    }
  }
}

void Click(panel::FrmStartup& window, QAbstractButton* control) {
  ShowPageOf(window, control);
  QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
  Settle();
}

void Retype(panel::FrmStartup& window, QLineEdit* box, const QString& text) {
  ShowPageOf(window, box);
  QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
  QTest::keyClick(box, Qt::Key_End);
  for (qsizetype i = box->text().size(); i > 0; --i) {
    QTest::keyClick(box, Qt::Key_Backspace);
  }
  QTest::keyClicks(box, text);
}

void ChooseItem(panel::FrmStartup& window, QComboBox* combo, int index) {
  ShowPageOf(window, combo);
  // The list is opened from the keyboard: one opened by a mouse press takes
  // its first release for the end of that press.
  combo->setFocus(Qt::TabFocusReason);
  QTest::keyClick(combo, Qt::Key_F4);
  Settle();
  QAbstractItemView* view = combo->view();
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                    view->visualRect(view->model()->index(index, 0)).center());
  Settle();
}

std::vector<DacSent> DacWords(const std::vector<SentRequest>& requests) {
  std::vector<DacSent> words;
  for (const SentRequest& r : requests) {
    if (r.code == board::DacLowRequest || r.code == board::DacHighRequest) {
      words.push_back({r.code, r.word});
    }
  }
  return words;
}

std::vector<std::uint32_t> AdcWords(const std::vector<SentRequest>& requests) {
  std::vector<std::uint32_t> words;
  for (const SentRequest& r : requests) {
    if (r.code == board::AdcTransferRequest) {
      words.push_back(r.word);
    }
  }
  return words;
}

}  // namespace kx::testing
