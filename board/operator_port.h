#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kx::board {

enum class MessageIcon { None, Information, Exclamation, Critical };

// What the core may ask of the person at the panel. The window implements it
// with message boxes, the save dialog and labels; tests use a scripted fake
// that records it.
class OperatorPort {
 public:
  virtual ~OperatorPort() = default;

  // Modal: returns once the operator has pressed OK.
  virtual void ShowMessage(std::string_view text, std::string_view title, MessageIcon icon) = 0;

  // The status line of the window (Label2), showing the last word sent.
  virtual void SetStatusLine(std::string_view text) = 0;

  // A modal save-as dialog. `filter` lists the entries as
  // "Name|pattern|Name|pattern". The dialog asks before an existing file is
  // replaced. No value: the operator cancelled.
  virtual std::optional<std::string> AskSavePath(std::string_view filter) = 0;

  // The capture status label (Label1). Setting a text draws it at once, even
  // though the capture that follows processes no window events.
  virtual void SetCaptureStatus(std::string_view text) = 0;

  // Progress of a capture: `done` of `total` transfers. Drawn at once without
  // processing input events; total 0 hides the progress display.
  virtual void SetCaptureProgress(int done, int total) = 0;
};

}  // namespace kx::board
