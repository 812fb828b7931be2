#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scpi/scpi_error.h"

namespace kx::scpi {

// The longest program message line taken; the rest of a longer one is
// discarded and the line refused.
inline constexpr std::size_t LongestLine = std::size_t{64} * 1024;

// Longest mnemonic IEEE 488.2 allows in a header or as character data.
inline constexpr std::size_t LongestMnemonic = 12;

enum class ParameterKind {
  Character,   // a mnemonic such as LOW or INTernal, kept as typed
  Decimal,     // a decimal number: 12, -3.5, 2.5E-1
  NonDecimal,  // #H7FF, #B101, #Q17: `value` holds it
  String,      // "..." or '...': `text` holds it without quotes, doubled quotes undone
};

struct Parameter {
  ParameterKind kind;
  std::string text;  // as typed, except for strings (their contents)
  // The number, for Decimal and NonDecimal.
  double value = 0;
};

// One program message unit: a header with its parameters.
struct Unit {
  bool common = false;    // *IDN?, *RST, ...: `mnemonics` holds the one word without '*'
  bool absolute = false;  // written with a leading ':'
  bool query = false;
  std::vector<std::string> mnemonics;  // as typed
  std::vector<Parameter> parameters;
};

struct ParsedLine {
  std::vector<Unit> units;
  // The first thing wrong with the line; no unit is kept then.
  std::optional<Error> error;
};

// One program message: units separated by ';', each a header and optional
// parameters separated by ','. The line end is already gone (a trailing CR
// is ignored). Only the syntax is judged here; which headers exist is the
// command tree's business. An empty line holds no unit.
ParsedLine ParseLine(std::string_view line);

// Text echoed in a message as the parser's own errors echo it: its first 24
// characters, control bytes as \xNN, and "..." when there was more.
std::string ShownText(std::string_view text);

}  // namespace kx::scpi
