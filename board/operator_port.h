#pragma once

#include <string_view>

namespace kx::board {

enum class MessageIcon { None, Information, Exclamation, Critical };

// The one thing a link library may ask of the person at the panel while it
// works: to read a notice, such as a library that could not be loaded or a
// board the user may not open. These arise deep inside a library call, not
// as the result of an operation. The window shows a message box; the
// command-line tool keeps the text for its output; tests record it.
class OperatorPort {
 public:
  virtual ~OperatorPort() = default;

  // Modal: returns once the operator has pressed OK.
  virtual void ShowMessage(std::string_view text, std::string_view title, MessageIcon icon) = 0;
};

}  // namespace kx::board
