#include "scpi/parser.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

namespace kx::scpi {

namespace {

// Thrown inside the parser only; ParseLine turns it into the line's error.
class ParseError : public std::runtime_error {
 public:
  explicit ParseError(Error error) : std::runtime_error(error.text), error_(std::move(error)) {}
  const Error& error() const { return error_; }

 private:
  Error error_;
};

[[noreturn]] void Fail(const ErrorCode& code, const std::string& detail) {
  throw ParseError(MakeError(code, detail));
}

bool IsBlank(char c) {
  // IEEE 488.2 white space: every control character but the line end, and the space.
  const auto byte = static_cast<unsigned char>(c);
  return byte <= 0x20 && c != '\n';
}

bool IsLetter(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsMnemonicChar(char c) {
  return IsLetter(c) || IsDigit(c) || c == '_';
}

// A character as an error detail shows it: printable as itself, otherwise as \xNN.
std::string Shown(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte < 0x20 || byte >= 0x7F) {
    return fmt::format("\\x{:02X}", byte);
  }
  return {&c, 1};
}

// A word cut short for a message: a pasted novel must not fill the queue.
std::string Shown(std::string_view text) {
  constexpr std::size_t kLongest = 24;
  std::string shown;
  for (const char c : text.substr(0, kLongest)) {
    shown += Shown(c);
  }
  if (text.size() > kLongest) {
    shown += "...";
  }
  return shown;
}

class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  bool AtEnd() const { return at_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[at_]; }
  char Take() { return text_[at_++]; }
  std::size_t At() const { return at_; }
  std::string_view From(std::size_t start) const { return text_.substr(start, at_ - start); }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(Peek())) {
      ++at_;
    }
  }
  // Whether a unit ends here: the line's end or the ';' before the next unit.
  bool AtUnitEnd() const { return AtEnd() || Peek() == ';'; }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

std::string Mnemonic(Cursor& cursor) {
  if (!IsLetter(cursor.Peek())) {
    if (cursor.AtEnd()) {
      Fail(SyntaxError, "a header ends without its mnemonic");
    }
    Fail(SyntaxError, "unexpected character '" + Shown(cursor.Peek()) + "' in a header");
  }
  const std::size_t start = cursor.At();
  while (!cursor.AtEnd() && IsMnemonicChar(cursor.Peek())) {
    cursor.Take();
  }
  std::string word(cursor.From(start));
  if (word.size() > LongestMnemonic) {
    Fail(ProgramMnemonicTooLong, Shown(word));
  }
  return word;
}

void ParseHeader(Cursor& cursor, Unit& unit) {
  if (cursor.Peek() == '*') {
    cursor.Take();
    unit.common = true;
    unit.mnemonics.push_back(Mnemonic(cursor));
  } else {
    if (cursor.Peek() == ':') {
      cursor.Take();
      unit.absolute = true;
    }
    unit.mnemonics.push_back(Mnemonic(cursor));
    while (cursor.Peek() == ':') {
      cursor.Take();
      unit.mnemonics.push_back(Mnemonic(cursor));
    }
  }
  if (cursor.Peek() == '?') {
    cursor.Take();
    unit.query = true;
  }
}

std::uint64_t NonDecimalValue(std::string_view digits, int base, std::string_view shown) {
  std::uint64_t value = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (digits.empty() || error == std::errc::invalid_argument ||
      end != digits.data() + digits.size()) {
    Fail(NumericDataError, fmt::format("\"{}\" is no number", Shown(shown)));
  }
  if (error == std::errc::result_out_of_range || value > (std::uint64_t{1} << 53U)) {
    Fail(DataOutOfRange, fmt::format("{} is too large", Shown(shown)));
  }
  return value;
}

Parameter NonDecimal(Cursor& cursor) {
  const std::size_t start = cursor.At();
  cursor.Take();  // '#'
  const char radix = static_cast<char>(std::toupper(static_cast<unsigned char>(cursor.Peek())));
  int base = 0;
  switch (radix) {
    case 'H':
      base = 16;
      break;
    case 'B':
      base = 2;
      break;
    case 'Q':
      base = 8;
      break;
    default:
      Fail(DataTypeError, "a '#' starts no number here (#H, #B or #Q); blocks are not taken");
  }
  cursor.Take();
  const std::size_t digits_start = cursor.At();
  while (!cursor.AtEnd() && IsMnemonicChar(cursor.Peek())) {
    cursor.Take();
  }
  Parameter parameter{ParameterKind::NonDecimal, std::string(cursor.From(start))};
  parameter.value =
      static_cast<double>(NonDecimalValue(cursor.From(digits_start), base, parameter.text));
  return parameter;
}

// Hex digits written the way other tools write them (7FF, 0x7FF): the
// message shows SCPI's own form.
std::string HexHint(std::string_view text) {
  std::string_view digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits.remove_prefix(2);
  }
  const bool hex = !digits.empty() && digits.size() <= 16 &&
                   std::all_of(digits.begin(), digits.end(),
                               [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
  return hex ? fmt::format(" (hexadecimal is written #H{})", digits) : "";
}

// Whether a decimal number out of double's range is so small that it would
// round to 0 (1E-400), rather than so large that it overflows (1E400): the
// power of ten of its first significant digit decides.
bool Underflows(std::string_view text) {
  long long power = 0;
  long long zeros_after_point = 0;
  bool significant = false;
  bool point = false;
  std::size_t i = text.starts_with('-') || text.starts_with('+') ? 1 : 0;
  for (; i < text.size() && (IsDigit(text[i]) || text[i] == '.'); ++i) {
    if (text[i] == '.') {
      point = true;
    } else if (significant) {
      power += point ? 0 : 1;
    } else if (text[i] != '0') {
      significant = true;
      power = point ? -(zeros_after_point + 1) : 0;
    } else if (point) {
      ++zeros_after_point;
    }
  }
  long long exponent = 0;
  if (i + 1 < text.size()) {  // past the E
    std::string_view digits = text.substr(i + 1);
    const bool negative = digits.starts_with('-');
    if (negative || digits.starts_with('+')) {
      digits.remove_prefix(1);
    }
    // An exponent of ten digits or more is far beyond either end already.
    exponent = digits.size() > 9 ? 1'000'000'000 : std::stoll(std::string(digits));
    exponent = negative ? -exponent : exponent;
  }
  return significant && power + exponent < 0;
}

Parameter Decimal(Cursor& cursor) {
  const std::size_t start = cursor.At();
  if (cursor.Peek() == '+' || cursor.Peek() == '-') {
    cursor.Take();
  }
  int digits = 0;
  while (IsDigit(cursor.Peek())) {
    cursor.Take();
    ++digits;
  }
  if (cursor.Peek() == '.') {
    cursor.Take();
    while (IsDigit(cursor.Peek())) {
      cursor.Take();
      ++digits;
    }
  }
  if (digits > 0 && (cursor.Peek() == 'E' || cursor.Peek() == 'e')) {
    cursor.Take();
    if (cursor.Peek() == '+' || cursor.Peek() == '-') {
      cursor.Take();
    }
    int exponent_digits = 0;
    while (IsDigit(cursor.Peek())) {
      cursor.Take();
      ++exponent_digits;
    }
    if (exponent_digits == 0) {
      digits = 0;
    }
  }
  // A letter or digit straight after the number: a suffix, a second point or
  // a typing slip; none is taken.
  while (!cursor.AtEnd() && (IsMnemonicChar(cursor.Peek()) || cursor.Peek() == '.')) {
    cursor.Take();
    digits = 0;
  }
  Parameter parameter{ParameterKind::Decimal, std::string(cursor.From(start))};
  if (digits == 0) {
    Fail(NumericDataError,
         fmt::format("\"{}\" is no number{}", Shown(parameter.text), HexHint(parameter.text)));
  }
  std::string_view text = parameter.text;
  if (text.front() == '+') {
    text.remove_prefix(1);
  }
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), parameter.value);
  if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(parameter.value)) {
    Fail(DataOutOfRange, Underflows(text) ? fmt::format("{} is too small: it underflows to 0; "
                                                        "send 0 if 0 is meant",
                                                        Shown(parameter.text))
                                          : fmt::format("{} is too large", Shown(parameter.text)));
  }
  return parameter;
}

Parameter String(Cursor& cursor) {
  const char quote = cursor.Take();
  Parameter parameter{ParameterKind::String, {}};
  for (;;) {
    if (cursor.AtEnd()) {
      Fail(InvalidStringData, "a string has no closing quote");
    }
    const char c = cursor.Take();
    if (c == quote) {
      if (cursor.Peek() != quote) {
        return parameter;
      }
      cursor.Take();
    }
    parameter.text += c;
  }
}

Parameter Character(Cursor& cursor) {
  Parameter parameter{ParameterKind::Character, Mnemonic(cursor)};
  return parameter;
}

Parameter ParseParameter(Cursor& cursor) {
  const char c = cursor.Peek();
  if (cursor.AtUnitEnd() || c == ',') {
    Fail(MissingParameter, "a parameter is empty");
  }
  if (c == '"' || c == '\'') {
    return String(cursor);
  }
  if (c == '#') {
    return NonDecimal(cursor);
  }
  if (IsDigit(c) || c == '+' || c == '-' || c == '.') {
    return Decimal(cursor);
  }
  if (IsLetter(c)) {
    return Character(cursor);
  }
  Fail(SyntaxError, "unexpected character '" + Shown(c) + "' in a parameter");
}

Unit ParseUnit(Cursor& cursor) {
  Unit unit;
  ParseHeader(cursor, unit);
  if (cursor.AtUnitEnd()) {
    return unit;
  }
  if (!IsBlank(cursor.Peek())) {
    Fail(InvalidSeparator,
         "'" + Shown(cursor.Peek()) + "' after a header, where a blank or ';' goes");
  }
  cursor.SkipBlanks();
  if (cursor.AtUnitEnd()) {
    return unit;
  }
  for (;;) {
    unit.parameters.push_back(ParseParameter(cursor));
    cursor.SkipBlanks();
    if (cursor.AtUnitEnd()) {
      return unit;
    }
    if (cursor.Peek() != ',') {
      Fail(InvalidSeparator,
           "'" + Shown(cursor.Peek()) + "' after a parameter, where ',' or ';' goes");
    }
    cursor.Take();
    cursor.SkipBlanks();
  }
}

}  // namespace

ParsedLine ParseLine(std::string_view line) {
  ParsedLine parsed;
  if (line.size() > LongestLine) {
    parsed.error =
        MakeError(TooMuchData, fmt::format("a line may hold at most {} bytes", LongestLine));
    return parsed;
  }
  if (line.find('\n') != std::string_view::npos) {
    parsed.error = MakeError(SyntaxError, "a line end inside a line");
    return parsed;
  }
  Cursor cursor(line);
  try {
    cursor.SkipBlanks();
    while (!cursor.AtEnd()) {
      parsed.units.push_back(ParseUnit(cursor));
      cursor.SkipBlanks();
      if (cursor.AtEnd()) {
        break;
      }
      cursor.Take();  // ';'
      cursor.SkipBlanks();
      if (cursor.Peek() == ';') {
        Fail(SyntaxError, "an empty unit between two ';'");
      }
    }
  } catch (const ParseError& error) {
    parsed.units.clear();
    parsed.error = error.error();
  }
  return parsed;
}

std::string ShownText(std::string_view text) {
  return Shown(text);
}

}  // namespace kx::scpi
