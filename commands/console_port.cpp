#include "commands/console_port.h"

#include <utility>

namespace kx::commands {

void ConsolePort::ShowMessage(std::string_view text, std::string_view, board::MessageIcon) {
  messages_.emplace_back(text);
}

std::vector<std::string> ConsolePort::TakeMessages() {
  return std::exchange(messages_, {});
}

}  // namespace kx::commands
