#include "panel/text_box.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>

namespace kx::panel {

namespace {

// The character a keystroke inserts, or 0 for keys that insert none (arrows,
// Delete, Home): only the former reach a key handler.
std::int16_t TypedCharacter(const QKeyEvent* event) {
  const QString text = event->text();
  if (text.size() != 1) {
    return 0;
  }
  return static_cast<std::int16_t>(text.at(0).unicode());
}

}  // namespace

void TextBox::keyPressEvent(QKeyEvent* event) {
  const std::int16_t typed = TypedCharacter(event);
  if (typed == 0 || !KeyPress) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  std::int16_t key = typed;
  KeyPress(key);
  if (key == 0) {
    event->accept();
    return;
  }
  if (key != typed) {
    insert(QString(QChar(static_cast<char16_t>(key))));
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void TextBox::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  if (!has_focus_) {
    has_focus_ = true;
    if (GotFocus) {
      GotFocus();
    }
  }
}

void TextBox::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  const Qt::FocusReason reason = event->reason();
  if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) {
    return;
  }
  has_focus_ = false;
  if (LostFocus) {
    LostFocus();
  }
}

void KeyPressGuard::Guard(QComboBox* combo, std::function<void(std::int16_t& key)> handler) {
  auto* guard = new KeyPressGuard(combo, std::move(handler));
  combo->installEventFilter(guard);
  combo->view()->installEventFilter(guard);
}

bool KeyPressGuard::eventFilter(QObject* watched, QEvent* event) {
  const bool on_box = qobject_cast<QComboBox*>(watched) != nullptr;
  if (event->type() == QEvent::Wheel) {
    // A wheel turned over a closed box would choose items behind the
    // operator's back.
    return on_box;
  }
  if (event->type() != QEvent::KeyPress) {
    return false;
  }
  const auto* key_event = static_cast<QKeyEvent*>(event);
  // Tab and Shift+Tab move the focus on; they are not typed into the list.
  if (key_event->key() == Qt::Key_Tab || key_event->key() == Qt::Key_Backtab) {
    return false;
  }
  const std::int16_t typed = TypedCharacter(key_event);
  if (typed == 0) {
    return false;
  }
  if (!on_box) {
    return typed >= 0x20;  // keyboard search in the open list
  }
  std::int16_t key = typed;
  handler_(key);
  return key != typed || key == 0;
}

}  // namespace kx::panel
