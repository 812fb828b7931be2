#include "adc/reference_entry.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <system_error>

#include "adc/adc_display.h"

namespace kx::adc {

namespace {

// An exponent this large already overflows or underflows any float; capping
// it keeps a long run of exponent digits from overflowing the count.
constexpr std::int64_t ExponentCap = 1'000'000'000;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Walks the text, skipping blanks wherever they stand.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  std::optional<char> Peek() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) {
      ++pos_;
    }
    if (pos_ == text_.size()) {
      return std::nullopt;
    }
    return text_[pos_];
  }
  void Advance() { ++pos_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

float ReadReferenceNumber(std::string_view text) {
  Cursor cursor(text);
  std::string number;  // rebuilt without blanks for from_chars
  bool negative = false;
  if (const auto sign = cursor.Peek(); sign == '+' || sign == '-') {
    negative = sign == '-';
    cursor.Advance();
  }

  bool have_digits = false;
  bool have_point = false;
  for (auto c = cursor.Peek(); c; c = cursor.Peek()) {
    if (IsDigit(*c)) {
      have_digits = true;
    } else if (*c == '.' && !have_point) {
      have_point = true;
    } else {
      break;
    }
    number += *c;
    cursor.Advance();
  }
  if (!have_digits) {
    return 0.0F;
  }

  if (const auto e = cursor.Peek(); e == 'E' || e == 'e' || e == 'D' || e == 'd') {
    cursor.Advance();
    bool exponent_negative = false;
    if (const auto sign = cursor.Peek(); sign == '+' || sign == '-') {
      exponent_negative = sign == '-';
      cursor.Advance();
    }
    std::int64_t exponent = 0;
    for (auto c = cursor.Peek(); c && IsDigit(*c); c = cursor.Peek()) {
      if (exponent < ExponentCap) {
        exponent = exponent * 10 + (*c - '0');
      }
      cursor.Advance();
    }
    // An "E" without digits leaves the number before it as it was.
    number += 'e';
    number += std::to_string(exponent_negative ? -exponent : exponent);
  }

  if (number.front() == '.') {
    number.insert(0, 1, '0');
  }
  float value = 0.0F;
  const std::from_chars_result read =
      std::from_chars(number.data(), number.data() + number.size(), value);
  if (read.ec != std::errc{} || !(std::fabs(value) <= LargestReference)) {
    return 0.0F;
  }
  return negative ? -value : value;
}

std::string NormaliseReferenceText(std::string_view text) {
  return FormatFixed(ReadReferenceNumber(text), 2);
}

}  // namespace kx::adc
