// The txtDAC boxes' hex entry: the value check, the channel code, the text
// once the box loses the focus, and the key filter.
//
// Promises checked on every input:
//  - a text passes the value check exactly when, blanks around it aside, it
//    is hex digits with at most eight significant ones, and its value is
//    then the number they write;
//  - an accepted value written back in hex, in either case, reads back the same;
//  - a channel code is never above FFF and is the value of the leading hex
//    digits, or there is none because those exceed FFF;
//  - upper-casing changes only a to z, and changes no value;
//  - the key filter lets through only hex digits (a-f become A-F),
//    backspace and tab.
#include <fmt/format.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dac/hex_entry.h"
#include "fuzz_check.h"

namespace {

using kx::dac::HexTextFault;
using kx::fuzz::IsHexDigit;
using kx::fuzz::Require;

std::uint32_t DigitValue(char c) {
  if (c <= '9') {
    return static_cast<std::uint32_t>(c - '0');
  }
  return static_cast<std::uint32_t>((c | 0x20) - 'a' + 10);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The documented rule, step by step.
kx::dac::HexValue Expected(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  if (text.empty()) {
    return {std::nullopt, HexTextFault::Empty};
  }
  for (const char c : text) {
    if (!IsHexDigit(c)) {
      return {std::nullopt, HexTextFault::NotHex};
    }
  }
  while (text.size() > 1 && text.front() == '0') {
    text.remove_prefix(1);
  }
  if (text.size() > 8) {
    return {std::nullopt, HexTextFault::TooManyDigits};
  }
  std::uint32_t value = 0;
  for (const char c : text) {
    value = value * 16 + DigitValue(c);
  }
  return {static_cast<std::int32_t>(value), HexTextFault::None};
}

void CheckValue(std::string_view text) {
  const kx::dac::HexValue value = kx::dac::ParseHexValue(text);
  const kx::dac::HexValue expected = Expected(text);
  Require(value.fault == expected.fault, "the value check fails for the documented reason");
  Require(value.value == expected.value, "an accepted text has the value its digits write");
  Require(kx::dac::IsHexValue(text) == value.value.has_value(),
          "the box check agrees with the value");
  if (value.value) {
    const auto word = static_cast<std::uint32_t>(*value.value);
    Require(kx::dac::ParseHexValue(fmt::format("{:X}", word)).value == value.value &&
                kx::dac::ParseHexValue(fmt::format("{:08x}", word)).value == value.value,
            "an accepted value written back reads back the same");
  }
}

void CheckChannelCode(std::string_view text) {
  const std::optional<std::uint16_t> code = kx::dac::ReadChannelCode(text);
  std::size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) {
    ++at;
  }
  std::uint64_t leading = 0;
  for (; at < text.size() && IsHexDigit(text[at]) && leading <= 0xFFF; ++at) {
    leading = leading * 16 + DigitValue(text[at]);
  }
  if (leading > 0xFFF) {
    Require(!code.has_value(), "a channel code above FFF is refused");
  } else {
    Require(code == leading, "a channel code is the value of the leading hex digits");
  }
}

void CheckUpperCase(std::string_view text) {
  const std::string upper = kx::dac::UpperCaseText(text);
  Require(upper.size() == text.size(), "upper-casing keeps the length");
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char expected = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    Require(upper[i] == expected, "upper-casing changes only a to z");
  }
  Require(kx::dac::ParseHexValue(upper).value == kx::dac::ParseHexValue(text).value,
          "upper-casing changes no value");
}

void CheckKey(std::int16_t key) {
  const std::int16_t filtered = kx::dac::FilterHexKey(key);
  const bool digit = key >= '0' && key <= '9';
  const bool upper = key >= 'A' && key <= 'F';
  const bool lower = key >= 'a' && key <= 'f';
  if (digit || upper || key == 8 || key == 9) {
    Require(filtered == key, "hex digits, backspace and tab pass the key filter");
  } else if (lower) {
    Require(filtered == key - 'a' + 'A', "a to f become A to F");
  } else {
    Require(filtered == 0, "any other key is swallowed");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = kx::fuzz::AsText(data, size);
  CheckValue(text);
  CheckChannelCode(text);
  CheckUpperCase(text);
  if (size >= 2) {
    CheckKey(static_cast<std::int16_t>(data[0] | (data[1] << 8U)));
  }
  return 0;
}
