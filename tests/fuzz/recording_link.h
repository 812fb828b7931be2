#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board/board_link.h"
#include "board/operator_port.h"

namespace kx::fuzz {

// The operator as the harnesses see it: every message kept, nothing asked.
class RecordingPort : public board::OperatorPort {
 public:
  struct Message {
    std::string text;
    std::string title;
    board::MessageIcon icon;
  };

  void ShowMessage(std::string_view text, std::string_view title,
                   board::MessageIcon icon) override {
    messages.push_back({std::string(text), std::string(title), icon});
  }
  void SetStatusLine(std::string_view text) override { status_line = text; }
  std::optional<std::string> AskSavePath(std::string_view) override { return std::nullopt; }
  void SetCaptureStatus(std::string_view) override {}
  void SetCaptureProgress(int, int) override {}

  std::vector<Message> messages;
  std::string status_line;
};

// A link that keeps every request and answers each with success.
class RecordingLink : public board::BoardLink {
 public:
  struct Sent {
    std::int16_t code;
    std::int32_t value;
    std::int32_t index;
    std::uint8_t direction;
    std::int16_t length;
  };

  explicit RecordingLink(board::OperatorPort& port) : BoardLink(port, "") {}

  std::vector<Sent> sent;

 protected:
  std::int16_t DownloadFirmware() override { return 0; }
  bool DownloadFailed(std::int16_t status) const override { return status != 0; }
  std::int16_t Request(std::int16_t code, std::int32_t value, std::int32_t index,
                       std::uint8_t direction, std::int16_t length, std::uint8_t*) override {
    sent.push_back({code, value, index, direction, length});
    return 0;
  }
};

}  // namespace kx::fuzz
