#include "panel/modal_watcher.h"

#include <QAbstractButton>
#include <QApplication>

namespace kx::testing {

ModalWatcher::ModalWatcher(std::function<bool()> visible_window)
    : visible_window_(std::move(visible_window)) {
  connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
  timer_.start(5);
}

void ModalWatcher::Poll() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box == nullptr || !box->isVisible()) {
    return;
  }
  boxes.push_back({box->text().toStdString(), box->windowTitle().toStdString(), box->icon(),
                   visible_window_ ? visible_window_() : false});
  QAbstractButton* ok = box->button(QMessageBox::Ok);
  if (ok != nullptr) {
    ok->click();
  } else {
    box->reject();
  }
}

}  // namespace kx::testing
