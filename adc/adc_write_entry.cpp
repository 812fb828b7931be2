#include "adc/adc_write_entry.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>

#include "board/number_text.h"
#include "board/quoted_text.h"

namespace kx::adc {

namespace {

constexpr std::string_view Advice =
    "Enter the word for the ADC as 1 to 4 hex digits (0000 to FFFF).";

// A pasted novel is quoted by its start only.
constexpr std::size_t QuotedLength = 16;

bool IsHexDigit(char c) {
  return board::HexDigitValue(c).has_value();
}

std::string Quoted(std::string_view text) {
  return board::QuotedStart(text, QuotedLength);
}

}  // namespace

AdcWriteEntry ReadAdcWriteText(std::string_view text2) {
  if (text2.empty()) {
    return {std::nullopt, std::string(Advice)};
  }
  if (!std::all_of(text2.begin(), text2.end(), IsHexDigit)) {
    return {std::nullopt, fmt::format("{} is not a hex value. {}", Quoted(text2), Advice)};
  }
  // Judged by value, as Text1 is: leading zeros carry no digit of the word.
  const std::size_t first = std::min(text2.find_first_not_of('0'), text2.size());
  const std::string_view significant = text2.substr(first);
  if (significant.size() > AdcWriteDigits) {
    return {std::nullopt, fmt::format("{} has more than 4 hex digits. {}", Quoted(text2), Advice)};
  }
  std::int32_t word = 0;
  std::from_chars(significant.data(), significant.data() + significant.size(), word, 16);
  return {word, {}};
}

}  // namespace kx::adc
