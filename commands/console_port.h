#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "board/operator_port.h"

namespace kx::commands {

// The operator as the command-line tool stands in for one: nobody to press
// OK. What the link libraries tell the operator is kept for the tool to
// report with the command that raised it.
class ConsolePort final : public board::OperatorPort {
 public:
  void ShowMessage(std::string_view text, std::string_view title, board::MessageIcon icon) override;

  std::vector<std::string> TakeMessages();

 private:
  std::vector<std::string> messages_;
};

}  // namespace kx::commands
