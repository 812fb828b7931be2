#pragma once

#include <QMessageBox>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <string>
#include <vector>

class QFileDialog;

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
    int buttons;  // how many buttons the box offers
  };

  explicit ModalWatcher(std::function<bool()> visible_window = {});
  ~ModalWatcher() override;

  // Answers for the save dialogs still to come, in order: a path is typed
  // into the dialog's name box and confirmed with Enter; an empty answer
  // presses Cancel. With no answer left a dialog is cancelled.
  std::deque<std::string> save_answers;
  // How a question with Yes and No (the dialog's "replace the file?") is
  // answered.
  bool answer_yes = true;

  // Called as each message box is read, before it is answered: a test looks
  // at what has happened so far while the box is still up.
  std::function<void()> on_box;

  std::vector<Box> boxes;
  // Every box and dialog in the order they came up on screen (not the order
  // they were answered in): "message: TEXT" or "save dialog".
  std::vector<std::string> order;
  std::vector<std::string> questions;  // texts of the Yes/No boxes
  int save_dialogs = 0;
  std::vector<std::string> save_filters;  // name filters of each save dialog

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Poll();
  void AnswerSaveDialog(QFileDialog* dialog);

  QTimer timer_;
  std::function<bool()> visible_window_;
};

}  // namespace kx::testing
