#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "board/operator_port.h"

namespace kx::testing {

// Records what the core showed the operator, in order, and answers the save
// dialog from a script (an empty answer is a cancel).
class FakeOperator final : public board::OperatorPort {
 public:
  struct Message {
    std::string text;
    std::string title;
    board::MessageIcon icon;
  };

  void ShowMessage(std::string_view text, std::string_view title, board::MessageIcon icon) override;
  void SetStatusLine(std::string_view text) override;
  std::optional<std::string> AskSavePath(std::string_view filter) override;
  void SetCaptureStatus(std::string_view text) override;
  void SetCaptureProgress(int done, int total) override;

  std::vector<Message> messages;
  std::vector<std::string> status_lines;
  std::vector<std::string> capture_statuses;
  std::vector<std::pair<int, int>> progress;
  std::vector<std::string> save_filters;                // one per dialog shown
  std::deque<std::optional<std::string>> save_answers;  // consumed in order; none left = cancel
};

}  // namespace kx::testing
