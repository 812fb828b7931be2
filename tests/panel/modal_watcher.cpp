#include "panel/modal_watcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace kx::testing {

ModalWatcher::ModalWatcher(std::function<bool()> visible_window)
    : visible_window_(std::move(visible_window)) {
  connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
  timer_.start(5);
  qApp->installEventFilter(this);
}

ModalWatcher::~ModalWatcher() {
  qApp->removeEventFilter(this);
}

bool ModalWatcher::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show) {
    if (auto* box = qobject_cast<QMessageBox*>(watched)) {
      order.push_back("message: " + box->text().toStdString());
    } else if (qobject_cast<QFileDialog*>(watched) != nullptr) {
      order.emplace_back("save dialog");
    }
  }
  return false;
}

void ModalWatcher::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (auto* dialog = qobject_cast<QFileDialog*>(modal); dialog != nullptr && dialog->isVisible()) {
    AnswerSaveDialog(dialog);
    return;
  }
  auto* box = qobject_cast<QMessageBox*>(modal);
  if (box == nullptr || !box->isVisible()) {
    return;
  }
  if (QAbstractButton* yes = box->button(QMessageBox::Yes); yes != nullptr) {
    questions.push_back(box->text().toStdString());
    QAbstractButton* no = box->button(QMessageBox::No);
    QAbstractButton* press = answer_yes || no == nullptr ? yes : no;
    QTest::mouseClick(press, Qt::LeftButton);
    // Told not to replace the file, the operator gives up on the dialog.
    if (press == no) {
      if (auto* dialog = qobject_cast<QFileDialog*>(box->parentWidget())) {
        QMetaObject::invokeMethod(dialog, &QFileDialog::reject, Qt::QueuedConnection);
      }
    }
    return;
  }
  boxes.push_back({box->text().toStdString(), box->windowTitle().toStdString(), box->icon(),
                   visible_window_ ? visible_window_() : false,
                   static_cast<int>(box->buttons().size())});
  if (on_box) {
    on_box();
  }
  QAbstractButton* ok = box->button(QMessageBox::Ok);
  if (ok != nullptr) {
    ok->click();
  } else {
    box->reject();
  }
}

}  // namespace kx::testing

namespace kx::testing {

void ModalWatcher::AnswerSaveDialog(QFileDialog* dialog) {
  // One answer per dialog, however often the timer fires while it is open
  // (the replace question runs a loop of its own inside it).
  if (dialog->property("kx_answered").toBool()) {
    return;
  }
  dialog->setProperty("kx_answered", true);
  ++save_dialogs;
  save_filters.push_back(dialog->nameFilters().join(QStringLiteral(";;")).toStdString());
  std::string answer;
  if (!save_answers.empty()) {
    answer = save_answers.front();
    save_answers.pop_front();
  }
  auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (answer.empty() || name == nullptr) {
    dialog->reject();
    return;
  }
  // The operator goes to the folder, then types the file's name.
  const QFileInfo target(QString::fromStdString(answer));
  dialog->setDirectory(target.absolutePath());
  name->setFocus();
  name->selectAll();
  QTest::keyClicks(name, target.fileName());
  // The name box offers completions in a list of its own; Escape closes the
  // list and leaves the typed name as it is.
  if (QWidget* completions = QApplication::activePopupWidget()) {
    QTest::keyClick(completions, Qt::Key_Escape);
  }
  auto* buttons = dialog->findChild<QDialogButtonBox*>();
  QPushButton* save = buttons != nullptr ? buttons->button(QDialogButtonBox::Save) : nullptr;
  if (save == nullptr) {
    dialog->reject();
    return;
  }
  // Clicked from the event loop, not from this timer's own call: Qt runs no
  // timer inside itself, and the replace question needs this one.
  QTimer::singleShot(0, save, [save] { QTest::mouseClick(save, Qt::LeftButton); });
}

}  // namespace kx::testing
