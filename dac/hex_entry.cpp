#include "dac/hex_entry.h"

#include <cstddef>

#include "board/number_text.h"
#include "dac/dac_command_word.h"

namespace kx::dac {

namespace {

constexpr int kMostHexDigits = 8;
constexpr std::int16_t kBackspace = 8;
constexpr std::int16_t kTab = 9;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

HexValue ParseHexValue(std::string_view text) {
  const std::string_view digits = TrimBlanks(text);
  if (digits.empty()) {
    return {std::nullopt, HexTextFault::Empty};
  }
  std::uint32_t value = 0;
  int significant = 0;
  for (const char c : digits) {
    const std::optional<int> digit = board::HexDigitValue(c);
    if (!digit) {
      return {std::nullopt, HexTextFault::NotHex};
    }
    if (significant > 0 || *digit != 0) {
      ++significant;
    }
    // Keep reading past an overflow: a stray letter further on makes the text
    // not a number at all, which is the clearer thing to say.
    value = (value << 4U) | static_cast<std::uint32_t>(*digit);
  }
  if (significant > kMostHexDigits) {
    return {std::nullopt, HexTextFault::TooManyDigits};
  }
  return {static_cast<std::int32_t>(value), HexTextFault::None};
}

std::optional<std::uint16_t> ReadChannelCode(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) {
    ++at;
  }
  std::uint32_t code = 0;
  for (; at < text.size(); ++at) {
    const std::optional<int> digit = board::HexDigitValue(text[at]);
    if (!digit) {
      break;
    }
    code = (code << 4U) | static_cast<std::uint32_t>(*digit);
    if (code > LargestChannelCode) {
      return std::nullopt;
    }
  }
  return static_cast<std::uint16_t>(code);
}

std::int16_t FilterHexKey(std::int16_t key) {
  if (key >= 'a' && key <= 'f') {
    return static_cast<std::int16_t>(key - 'a' + 'A');
  }
  const bool digit = key >= '0' && key <= '9';
  const bool upper = key >= 'A' && key <= 'F';
  if (digit || upper || key == kBackspace || key == kTab) {
    return key;
  }
  return 0;
}

std::string UpperCaseText(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return upper;
}

}  // namespace kx::dac
