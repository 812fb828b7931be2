#include "adc/adc_display.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

namespace kx::adc {

namespace {

constexpr double CodeSteps = 4096.0;
constexpr std::int32_t TwosComplementSignBit = 0x800;
constexpr std::int32_t TwosComplementMagnitude = 0x7FF;

// Adds one to a string of decimal digits, growing it on a carry out.
void IncrementDigits(std::string& digits) {
  // Reverse iterators rather than a reversed range view: clang 14 cannot
  // compile the ranges views of this standard library.
  // NOLINTNEXTLINE(modernize-loop-convert)
  for (auto digit = digits.rbegin(); digit != digits.rend(); ++digit) {
    if (*digit != '9') {
      ++*digit;
      return;
    }
    *digit = '0';
  }
  digits.insert(digits.begin(), '1');
}

// `scientific` is to_chars' shortest scientific form: "-3.125e-01", "2e+00".
std::string RoundScientific(std::string_view scientific, int decimals) {
  const bool negative = scientific.front() == '-';
  if (negative) {
    scientific.remove_prefix(1);
  }
  const std::size_t e = scientific.find('e');
  std::string digits;
  for (const char c : scientific.substr(0, e)) {
    if (c != '.') {
      digits += c;
    }
  }
  std::string_view exponent_text = scientific.substr(e + 1);
  if (exponent_text.front() == '+') {
    exponent_text.remove_prefix(1);
  }
  int exponent = 0;
  std::from_chars(exponent_text.data(), exponent_text.data() + exponent_text.size(), exponent);

  // The first digit stands for 10^exponent; keep those down to 10^-decimals.
  const long keep = static_cast<long>(exponent) + 1 + decimals;
  std::string kept;
  if (keep > 0) {
    const auto count = static_cast<std::size_t>(keep);
    kept = digits.substr(0, std::min(count, digits.size()));
    kept.resize(count, '0');
    if (count < digits.size() && digits[count] >= '5') {
      IncrementDigits(kept);
    }
  } else if (keep == 0 && digits.front() >= '5') {
    kept = "1";
  }

  const auto width = static_cast<std::size_t>(decimals) + 1;
  if (kept.size() < width) {
    kept.insert(0, width - kept.size(), '0');
  }
  const bool zero = std::all_of(kept.begin(), kept.end(), [](char c) { return c == '0'; });
  std::string text = negative && !zero ? "-" : "";
  text.append(kept, 0, kept.size() - static_cast<std::size_t>(decimals));
  if (decimals > 0) {
    text += '.';
    text.append(kept, kept.size() - static_cast<std::size_t>(decimals));
  }
  return text;
}

template <typename Float>
std::string FormatFixedImpl(Float value, int decimals) {
  if (!std::isfinite(value)) {
    value = 0;
  }
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::scientific);
  return RoundScientific(std::string_view(buffer.data(), result.ptr), decimals);
}

}  // namespace

std::string CodeHexText(std::int32_t code) {
  return fmt::format("0x{:03X}", static_cast<std::uint32_t>(code));
}

std::string CodeDecText(std::int32_t code) {
  return fmt::format("{}", code);
}

std::string WriteReplyText(std::int32_t reply) {
  return fmt::format("0x{:04X}", static_cast<std::uint32_t>(reply) & 0xFFFFU);
}

float FullScaleSpan(float reference, std::int16_t range_bit) {
  return range_bit != 0 ? reference : 2.0F * reference;
}

double CodeVolts(std::int32_t code, float span, bool straight_binary) {
  const double s = span;
  if (straight_binary) {
    return code / CodeSteps * s;
  }
  if ((code & TwosComplementSignBit) != 0) {
    return (code & TwosComplementMagnitude) / CodeSteps * s;
  }
  return code / CodeSteps * s + s / 2.0;
}

std::int32_t SignedCode(std::int32_t code, bool straight_binary) {
  if (straight_binary || (code & TwosComplementSignBit) == 0) {
    return code;
  }
  return code - 2 * TwosComplementSignBit;
}

double LineVolts(double value, float span, bool straight_binary) {
  const double s = span;
  return value / CodeSteps * s + (straight_binary ? 0.0 : s / 2.0);
}

double CalibratedLineVolts(double value, float span, bool straight_binary,
                           const board::LineCorrection* correction) {
  if (correction == nullptr) {
    return LineVolts(value, span, straight_binary);
  }
  const double from_bottom = straight_binary ? value : value + TwosComplementSignBit;
  return correction->Ideal(from_bottom) / CodeSteps * static_cast<double>(span);
}

double CalibratedCodeVolts(std::int32_t code, float span, bool straight_binary,
                           const board::LineCorrection* correction) {
  return CalibratedLineVolts(SignedCode(code, straight_binary), span, straight_binary, correction);
}

std::string FormatFixed(double value, int decimals) {
  return FormatFixedImpl(value, decimals);
}

std::string FormatFixed(float value, int decimals) {
  return FormatFixedImpl(value, decimals);
}

std::string VoltText(double volts) {
  return FormatFixed(volts, 3);
}

}  // namespace kx::adc
