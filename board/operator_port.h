#pragma once

#include <string>
#include <string_view>

namespace kx::board {

enum class MessageIcon { Information, Exclamation, Critical };

// What the core may ask of the person at the panel. The window implements it
// with message boxes and labels; tests use a scripted fake that records it.
class OperatorPort {
 public:
  virtual ~OperatorPort() = default;

  // Modal: returns once the operator has pressed OK.
  virtual void ShowMessage(std::string_view text, std::string_view title, MessageIcon icon) = 0;
  // The status line of the window (Label2), showing the last word sent.
  virtual void SetStatusLine(std::string_view text) = 0;
};

}  // namespace kx::board
