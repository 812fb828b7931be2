#include "support/fake_operator.h"

namespace kx::testing {

void FakeOperator::ShowMessage(std::string_view text, std::string_view title,
                               board::MessageIcon icon) {
  messages.push_back({std::string(text), std::string(title), icon});
}

void FakeOperator::SetStatusLine(std::string_view text) {
  status_lines.emplace_back(text);
}

std::optional<std::string> FakeOperator::AskSavePath(std::string_view filter) {
  save_filters.emplace_back(filter);
  if (save_answers.empty()) {
    return std::nullopt;
  }
  std::optional<std::string> answer = save_answers.front();
  save_answers.pop_front();
  return answer;
}

void FakeOperator::SetCaptureStatus(std::string_view text) {
  capture_statuses.emplace_back(text);
}

void FakeOperator::SetCaptureProgress(int done, int total) {
  progress.emplace_back(done, total);
}

}  // namespace kx::testing
