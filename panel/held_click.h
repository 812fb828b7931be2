#pragma once

#include <QAbstractButton>
#include <QObject>
#include <QPointer>

class QWidget;

namespace kx::panel {

// A click that takes the focus out of a DAC box holding a bad text must not
// act before the box's message has been answered. While held, the mouse
// events meant for the window's controls are taken out of the event stream
// (the click's release often arrives in the same batch as its press, before
// any queued work); once released, a button whose press was held is clicked,
// so it acts after the message, on the text the check left behind.
class HeldClick final : public QObject {
 public:
  explicit HeldClick(QWidget* window) : QObject(window), window_(window) {}

  void Hold();
  void Release();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  QPointer<QAbstractButton> pressed_;
  bool released_outside_ = false;
  bool holding_ = false;
};

}  // namespace kx::panel
