#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kx::dac {

// What the txtDAC boxes say when the hex value check fails, and the text the
// box is given instead.
inline constexpr const char* InvalidHexMessage = "Invalid Hex Value";
inline constexpr const char* InvalidHexTitle = "Error";
inline constexpr const char* RejectedDacText = "000";

enum class HexTextFault {
  None,
  Empty,          // nothing but blanks
  NotHex,         // a prefix, a sign, an inner blank or any other non-digit
  TooManyDigits,  // needs more than 32 bits
};

struct HexValue {
  std::optional<std::int32_t> value;  // all 32 bits; eight digits from 8 up set bit 31
  HexTextFault fault = HexTextFault::None;
};

// The operator's hexadecimal text as a 32-bit number, the way a text with
// "&h" put in front converts. Blanks (spaces, tabs) before and after the
// digits are tolerated, as are any number of leading zeros: "000000001" is 1.
// One to eight significant digits in either case pass; anything else fails.
HexValue ParseHexValue(std::string_view text);

// The hex value check of the txtDAC boxes: syntax only, no range limit.
inline bool IsHexValue(std::string_view text) {
  return ParseHexValue(text).value.has_value();
}

// A channel's code from its txtDAC text: the value of the leading hex digits
// (after any leading blanks), 0 when there are none, as when the text is
// empty. No value when those digits exceed 0xFFF, which a channel word cannot
// carry.
std::optional<std::uint16_t> ReadChannelCode(std::string_view text);

// Text1 and Text2 let through only what a hex number is typed with: a to f
// become A to F; digits, A to F, backspace (8) and tab (9) pass; every other
// key code becomes 0, which swallows the keystroke.
std::int16_t FilterHexKey(std::int16_t key);

// A txtDAC box's text once it loses the focus: 7ff becomes 7FF.
std::string UpperCaseText(std::string_view text);

}  // namespace kx::dac
