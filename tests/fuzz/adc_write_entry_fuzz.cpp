// "16 Bit Hex Value" of "Write Value to ADC Section".
//
// Promises checked on every input:
//  - a word or a message, never both;
//  - a word comes exactly from hex digits and nothing else, at most four of
//    them significant (leading zeros count for nothing), lies in 0000 to
//    FFFF, and written back reads the text's digits again;
//  - a message ends with the advice on what to type, and quotes well-formed
//    UTF-8 text without cutting a character in two.
#include <fmt/format.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "adc/adc_write_entry.h"
#include "dac/hex_entry.h"
#include "fuzz_check.h"

namespace {

using kx::fuzz::Require;

constexpr std::string_view kAdvice =
    "Enter the word for the ADC as 1 to 4 hex digits (0000 to FFFF).";

// The text without its leading zeros.
std::string_view Significant(std::string_view text) {
  while (!text.empty() && text.front() == '0') {
    text.remove_prefix(1);
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = kx::fuzz::AsText(data, size);
  const kx::adc::AdcWriteEntry entry = kx::adc::ReadAdcWriteText(text);
  Require(entry.word.has_value() == entry.error.empty(), "a word or a message, not both");

  const std::string_view significant = Significant(text);
  const bool well_formed = !text.empty() &&
                           std::all_of(text.begin(), text.end(), kx::fuzz::IsHexDigit) &&
                           significant.size() <= kx::adc::AdcWriteDigits;
  Require(entry.word.has_value() == well_formed,
          "a word comes exactly from hex digits with at most four significant");
  if (entry.word) {
    Require(*entry.word >= 0 && *entry.word <= 0xFFFF, "the word is 0000 to FFFF");
    const std::string digits = significant.empty() ? "0" : kx::dac::UpperCaseText(significant);
    Require(fmt::format("{:X}", *entry.word) == digits,
            "the word written back reads the text's digits again");
    return 0;
  }
  Require(std::string_view(entry.error).ends_with(kAdvice), "the message says what to type");
  Require(!kx::fuzz::IsUtf8(text) || kx::fuzz::IsUtf8(entry.error),
          "the message quotes UTF-8 text without cutting a character");
  return 0;
}
