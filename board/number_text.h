#pragma once

#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>
#include <system_error>

namespace kx::board {

// A number that is the whole of `text`, in the C locale: no blanks, no sign
// but a leading minus, nothing after it. None for anything else.
inline std::optional<int> WholeNumberText(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

// The same for a finite decimal number ("0.25", "1e-3"); none for
// infinities and NaN.
inline std::optional<double> FiniteNumberText(std::string_view text) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// The value 0 to 15 of a hexadecimal digit in either case; none for any
// other character.
inline constexpr std::optional<int> HexDigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  return std::nullopt;
}

}  // namespace kx::board
