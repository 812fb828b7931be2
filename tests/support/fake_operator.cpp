#include "support/fake_operator.h"

#include "board/status_text.h"

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

bool FakeOperator::Show(const board::OperationResult& result) {
  // Each word as it went out; the window draws only the last.
  for (const board::LinkRecord& record : result.sent) {
    if (const std::optional<std::string> text = board::EchoText(record)) {
      SetStatusLine(*text);
    }
  }
  if (result.refusal) {
    ShowMessage(*result.refusal, "Error", board::MessageIcon::Exclamation);
  }
  return !result.refusal;
}

void FakeOperator::ShowLoad(const board::BoardLink::LoadResult& result) {
  if (result.failed) {
    ShowMessage(board::NoBoardMessage, board::NoBoardTitle(result.status),
                board::MessageIcon::Exclamation);
  }
}

}  // namespace kx::testing
