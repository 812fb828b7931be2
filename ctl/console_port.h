#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board/operator_port.h"

namespace kx::ctl {

// The operator as the command-line tool stands in for one: nobody to press
// OK, no status line to draw. Messages are kept for the tool to report with
// the command that raised them, and the save dialog is answered with the
// FILE the command named.
class ConsolePort final : public board::OperatorPort {
 public:
  void ShowMessage(std::string_view text, std::string_view title, board::MessageIcon icon) override;
  void SetStatusLine(std::string_view) override {}
  std::optional<std::string> AskSavePath(std::string_view filter) override;
  void SetCaptureStatus(std::string_view) override {}
  void SetCaptureProgress(int, int) override {}

  // The answer of the next save dialog only; a dialog nobody prepared for is
  // cancelled.
  void AnswerNextSaveDialog(std::string path) { save_path_ = std::move(path); }
  std::vector<std::string> TakeMessages();

 private:
  std::optional<std::string> save_path_;
  std::vector<std::string> messages_;
};

}  // namespace kx::ctl
