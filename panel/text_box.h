#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <cstdint>
#include <functional>

namespace kx::panel {

// A text box whose events reach the panel's handlers: focus gained and lost
// as the operator moves between controls, and typed characters with the
// chance to replace (return another code) or swallow (return 0) them.
// Switching to another window, a message box included, is not a focus change
// of the panel: the box keeps its focus and no handler runs.
class TextBox final : public QLineEdit {
 public:
  explicit TextBox(QWidget* parent) : QLineEdit(parent) {}

  std::function<void()> GotFocus;
  std::function<void()> LostFocus;
  std::function<void(std::int16_t& key)> KeyPress;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  bool has_focus_ = false;
};

// Lets a key handler see every character typed into a drop-down box and
// swallow it, so that nothing typed (keyboard search included) can change the
// box's choice; items are chosen from the list only. Watching the open list
// too, it swallows printable characters there and leaves Enter, Escape and
// the arrows to pick or dismiss an item. Tab and Shift+Tab are no typed
// characters: they move the focus on as from any other control.
class KeyPressGuard final : public QObject {
 public:
  KeyPressGuard(QObject* parent, std::function<void(std::int16_t& key)> handler)
      : QObject(parent), handler_(std::move(handler)) {}

  // Installs the guard on a drop-down box and on its list.
  static void Guard(QComboBox* combo, std::function<void(std::int16_t& key)> handler);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void(std::int16_t& key)> handler_;
};

}  // namespace kx::panel
