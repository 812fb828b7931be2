#include "ctl/console_port.h"

#include <utility>

namespace kx::ctl {

void ConsolePort::ShowMessage(std::string_view text, std::string_view, board::MessageIcon) {
  messages_.emplace_back(text);
}

std::optional<std::string> ConsolePort::AskSavePath(std::string_view) {
  return std::exchange(save_path_, std::nullopt);
}

std::vector<std::string> ConsolePort::TakeMessages() {
  return std::exchange(messages_, {});
}

}  // namespace kx::ctl
