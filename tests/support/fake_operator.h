#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "board/board_link.h"
#include "board/link_record.h"
#include "board/operator_port.h"

namespace kx::testing {

// Records what the operator was shown, in order, as the window would show
// it: the link libraries' notices, and through Show the status line and
// refusal of each operation's result. It answers the save dialog from a
// script (an empty answer is a cancel).
class FakeOperator final : public board::OperatorPort {
 public:
  struct Message {
    std::string text;
    std::string title;
    board::MessageIcon icon;
  };

  void ShowMessage(std::string_view text, std::string_view title, board::MessageIcon icon) override;
  void SetStatusLine(std::string_view text);
  std::optional<std::string> AskSavePath(std::string_view filter);
  void SetCaptureStatus(std::string_view text);
  void SetCaptureProgress(int done, int total);

  // The status line's echo of every word `result` sent, and its refusal's
  // message; true when the input was not refused.
  bool Show(const board::OperationResult& result);
  // "No Evaluation Board Found" after a failed download, as the window says it.
  void ShowLoad(const board::BoardLink::LoadResult& result);
  // The status line after whatever `link` sent since the last look.
  void ShowSent(board::BoardLink& link) { Show({link.TakeSent(), std::nullopt}); }

  std::vector<Message> messages;
  std::vector<std::string> status_lines;
  std::vector<std::string> capture_statuses;
  std::vector<std::pair<int, int>> progress;
  std::vector<std::string> save_filters;                // one per dialog shown
  std::deque<std::optional<std::string>> save_answers;  // consumed in order; none left = cancel
};

}  // namespace kx::testing
