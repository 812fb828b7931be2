#pragma once

#include <QMessageBox>
#include <QObject>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

namespace kx::testing {

// Answers the message boxes that come up while it lives, the way an operator
// would: it reads each box, records it, and presses OK. `visible_window`, when
// set, is asked whether the main window was on screen as the box came up.
class ModalWatcher final : public QObject {
 public:
  struct Box {
    std::string text;
    std::string title;
    QMessageBox::Icon icon;
    bool window_visible;
  };

  explicit ModalWatcher(std::function<bool()> visible_window = {});

  std::vector<Box> boxes;

 private:
  void Poll();

  QTimer timer_;
  std::function<bool()> visible_window_;
};

}  // namespace kx::testing
