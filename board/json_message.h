#pragma once

#include <string_view>

namespace kx::board {

// nlohmann-json prefixes its messages with an internal tag such as
// "[json.exception.parse_error.101] "; the rest (with line and column) is
// what helps the person fixing the file.
inline std::string_view JsonMessage(std::string_view what) {
  if (!what.empty() && what.front() == '[') {
    if (const std::size_t end = what.find("] "); end != std::string_view::npos) {
      what.remove_prefix(end + 2);
    }
  }
  return what;
}

}  // namespace kx::board
