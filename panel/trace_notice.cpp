#include "panel/trace_notice.h"

#include <QApplication>
#include <QTimer>
#include <cctype>

namespace kx::panel {
namespace {

// How often a message kept back by an open box looks again.
constexpr int kRetryMs = 50;

}  // namespace

void TraceNotice::Report(const std::string& problem) {
  if (reported_) {
    return;
  }
  reported_ = true;
  problem_ = problem;
  // Runs once the event loop has control again, which is after the handler.
  QTimer::singleShot(0, this, [this] { ShowWhenIdle(); });
}

void TraceNotice::ShowWhenIdle() {
  // A box of the operation itself ("No Evaluation Board Found", the save
  // dialog) runs its own event loop; the handler has not finished yet.
  if (QApplication::activeModalWidget() != nullptr) {
    QTimer::singleShot(kRetryMs, this, [this] { ShowWhenIdle(); });
    return;
  }
  std::string text = problem_;
  if (!text.empty()) {
    text.front() = static_cast<char>(std::toupper(static_cast<unsigned char>(text.front())));
  }
  port_.ShowMessage(text + ". The board link carries on.", Title, board::MessageIcon::Exclamation);
}

}  // namespace kx::panel
