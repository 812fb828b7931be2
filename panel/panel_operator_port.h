#pragma once

#include <QPointer>
#include <optional>
#include <string>

#include "board/link_record.h"
#include "board/operator_port.h"
#include "session/board_session.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace kx::panel {

// What the window shows its operator: message boxes (also the link
// libraries' own notices), the save dialog, the status line Label2, the
// capture status Label1 and its progress bar. It exists before the window
// does, so that start-up messages can come up before the window is shown;
// the window attaches its labels once built.
class PanelOperatorPort final : public board::OperatorPort {
 public:
  void Attach(QWidget* window, QLabel* status_line, QLabel* capture_status,
              QProgressBar* capture_progress);

  void ShowMessage(std::string_view text, std::string_view title, board::MessageIcon icon) override;
  // Label2, showing the last word sent.
  void SetStatusLine(std::string_view text);
  // A modal save-as dialog. `filter` lists the entries as
  // "Name|pattern|Name|pattern". The dialog asks before an existing file is
  // replaced. No value: the operator cancelled.
  std::optional<std::string> AskSavePath(std::string_view filter);
  // Label1. Setting a text draws it at once, even though the capture that
  // follows processes no window events.
  void SetCaptureStatus(std::string_view text);
  // `done` of `total` transfers, drawn at once without processing input
  // events; total 0 hides the progress display.
  void SetCaptureProgress(int done, int total);

  // What the window shows of an operation's result: the last word sent on the
  // status line and, for a refused input, why.
  void Show(const board::OperationResult& result);
  // "No Evaluation Board Found" after a failed download.
  void ShowDownload(const session::StartUpResult& result);
  // A capture button: the save dialog, then the session's transfers and
  // file with "Taking Samples" (all channels only) and the progress, then
  // the outcome.
  void Capture(session::BoardSession& session, session::CaptureKind kind);

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
