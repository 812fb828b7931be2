#include "support/fake_operator.h"

namespace kx::testing {

void FakeOperator::ShowMessage(std::string_view text, std::string_view title,
                               board::MessageIcon icon) {
  messages.push_back({std::string(text), std::string(title), icon});
}

void FakeOperator::SetStatusLine(std::string_view text) {
  status_lines.emplace_back(text);
}

}  // namespace kx::testing
