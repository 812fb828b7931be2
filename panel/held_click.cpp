#include "panel/held_click.h"

#include <QApplication>
#include <QMouseEvent>

namespace kx::panel {

void HeldClick::Hold() {
  if (holding_) {
    return;
  }
  holding_ = true;
  pressed_ = nullptr;
  released_outside_ = false;
  qApp->installEventFilter(this);
}

void HeldClick::Release() {
  if (!holding_) {
    return;
  }
  holding_ = false;
  qApp->removeEventFilter(this);
  QAbstractButton* button = pressed_.data();  // still alive: nothing ran since
  pressed_.clear();
  // A release that the message box kept from the button still ends the click;
  // one dragged off the button cancels it, as it would have done anyway.
  if (button != nullptr && !released_outside_ && button->isEnabled() && button->isVisible()) {
    button->click();
  }
}

bool HeldClick::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
      type != QEvent::MouseButtonDblClick) {
    return false;
  }
  // Only the widgets of the window: the message box itself must be usable,
  // and the window-level event keeps Qt's own record of the pressed button.
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != window_) {
    return false;
  }
  const auto* mouse = static_cast<QMouseEvent*>(event);
  if (mouse->button() != Qt::LeftButton) {
    return true;
  }
  if (type == QEvent::MouseButtonPress && pressed_ == nullptr) {
    for (QWidget* w = widget; w != nullptr && w != window_; w = w->parentWidget()) {
      if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        pressed_ = button;
        break;
      }
    }
  } else if (type == QEvent::MouseButtonRelease && pressed_ != nullptr) {
    const QPoint at = pressed_->mapFromGlobal(mouse->globalPosition().toPoint());
    released_outside_ = !pressed_->rect().contains(at);
  }
  return true;
}

}  // namespace kx::panel
