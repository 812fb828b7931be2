#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kx::testing {

// One vendor request of the trace, with the chip word it carried (index as
// the high half, value as the low half).
struct SentRequest {
  int code = 0;
  std::uint32_t word = 0;
  int value = 0;
  int index = 0;
  int dir = 0;
  int len = 0;
  std::string data;  // the reply bytes, for requests that read
};

// "request ... code=0xE4 value=0x8390 index=-1 ..." -> code 0xE4, word
// 0xFFFF8390; none for the trace's other lines.
std::optional<SentRequest> RequestOfLine(const std::string& line);
std::vector<SentRequest> Requests(const std::vector<std::string>& trace_lines);

// A trace, or any text, as its lines without their line ends.
std::vector<std::string> SplitLines(const std::string& text);
// A reply's fields between separators, empty ones included: "1,,2" gives
// "1", "", "2".
std::vector<std::string> Split(const std::string& text, char separator);

}  // namespace kx::testing
