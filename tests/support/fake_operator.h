#pragma once

#include <string>
#include <vector>

#include "board/operator_port.h"

namespace kx::testing {

// Records what the core showed the operator, in order.
class FakeOperator final : public board::OperatorPort {
 public:
  struct Message {
    std::string text;
    std::string title;
    board::MessageIcon icon;
  };

  void ShowMessage(std::string_view text, std::string_view title, board::MessageIcon icon) override;
  void SetStatusLine(std::string_view text) override;

  std::vector<Message> messages;
  std::vector<std::string> status_lines;
};

}  // namespace kx::testing
