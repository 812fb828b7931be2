#include "commands/command.h"

#include <fmt/format.h>

namespace kx::commands {

std::string SourceText(const Source& source) {
  if (source.name.empty()) {
    return "command line";
  }
  return fmt::format("{}:{}", source.name, source.line);
}

}  // namespace kx::commands
