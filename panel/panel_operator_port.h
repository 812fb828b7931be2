#pragma once

#include <QPointer>
#include <optional>
#include <string>

#include "board/operator_port.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace kx::panel {

// The operator port of the window: message boxes, the save dialog, the
// status line Label2, the capture status Label1 and its progress bar. It
// exists before the window does, so that start-up messages can come up
// before the window is shown; the window attaches its labels once built.
class PanelOperatorPort final : public board::OperatorPort {
 public:
  void Attach(QWidget* window, QLabel* status_line, QLabel* capture_status,
              QProgressBar* capture_progress);

  void ShowMessage(std::string_view text, std::string_view title, board::MessageIcon icon) override;
  void SetStatusLine(std::string_view text) override;
  std::optional<std::string> AskSavePath(std::string_view filter) override;
  void SetCaptureStatus(std::string_view text) override;
  void SetCaptureProgress(int done, int total) override;

 private:
  QPointer<QWidget> window_;
  QPointer<QLabel> status_line_;
  QPointer<QLabel> capture_status_;
  QPointer<QProgressBar> capture_progress_;
};

// "Name|pattern|Name|pattern" as Qt's dialog wants it: "Name (pattern);;...".
// A name that already shows its pattern in parentheses is kept as it is.
QString QtFileFilter(std::string_view filter);

}  // namespace kx::panel
