#pragma once

#include <cstdint>
#include <vector>

#include "board/board_link.h"

namespace kx::fuzz {

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

  RecordingLink() : BoardLink("") {}

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
