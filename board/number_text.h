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

}  // namespace kx::board
