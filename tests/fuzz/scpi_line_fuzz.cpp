// The SCPI program message parser of `kx7312ctl serve`: the input is one
// line as a client sends it.
//
// Promises checked on every input:
//  - units or an error, never both; an error carries a standard negative
//    number and a one-line text;
//  - every header mnemonic and every character parameter is 1 to 12
//    letters, digits or underscores, starting with a letter; a common
//    command has exactly one mnemonic;
//  - numbers are finite; a decimal's value is that of its text;
//  - the units written back in a canonical form parse to the same units;
//  - a header matches a documented pattern exactly when each word is the
//    pattern's short or long form in some case.
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "scpi/header_pattern.h"
#include "scpi/parser.h"

namespace {

using kx::fuzz::Require;
using kx::scpi::ParameterKind;
using kx::scpi::ParsedLine;

bool IsMnemonic(std::string_view word) {
  if (word.empty() || word.size() > kx::scpi::LongestMnemonic ||
      std::isalpha(static_cast<unsigned char>(word.front())) == 0) {
    return false;
  }
  for (const char c : word) {
    if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '_') {
      return false;
    }
  }
  return true;
}

std::string Canonical(const ParsedLine& parsed) {
  std::string line;
  for (const kx::scpi::Unit& unit : parsed.units) {
    line += line.empty() ? "" : ";";
    line += unit.common ? "*" : (unit.absolute ? ":" : "");
    for (std::size_t i = 0; i < unit.mnemonics.size(); ++i) {
      line += (i == 0 ? "" : ":") + unit.mnemonics[i];
    }
    line += unit.query ? "?" : "";
    for (std::size_t i = 0; i < unit.parameters.size(); ++i) {
      const kx::scpi::Parameter& parameter = unit.parameters[i];
      line += i == 0 ? " " : ",";
      if (parameter.kind == ParameterKind::String) {
        line += '"';
        for (const char c : parameter.text) {
          line += c == '"' ? std::string("\"\"") : std::string(1, c);
        }
        line += '"';
      } else {
        line += parameter.text;
      }
    }
  }
  return line;
}

bool SameUnits(const ParsedLine& a, const ParsedLine& b) {
  if (a.units.size() != b.units.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.units.size(); ++i) {
    const auto& x = a.units[i];
    const auto& y = b.units[i];
    if (x.common != y.common || x.absolute != y.absolute || x.query != y.query ||
        x.mnemonics != y.mnemonics || x.parameters.size() != y.parameters.size()) {
      return false;
    }
    for (std::size_t k = 0; k < x.parameters.size(); ++k) {
      if (x.parameters[k].kind != y.parameters[k].kind ||
          x.parameters[k].text != y.parameters[k].text ||
          x.parameters[k].value != y.parameters[k].value) {
        return false;
      }
    }
  }
  return true;
}

void CheckHeaders(const ParsedLine& parsed) {
  static const kx::scpi::HeaderPattern pattern("SYSTem:ERRor[:NEXT]");
  for (const kx::scpi::Unit& unit : parsed.units) {
    if (unit.common || unit.mnemonics.size() < 2 || unit.mnemonics.size() > 3) {
      continue;
    }
    const auto is = [](std::string_view typed, std::string_view short_form,
                       std::string_view long_form) {
      std::string upper;
      for (const char c : typed) {
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      }
      return upper == short_form || upper == long_form;
    };
    const bool expected = is(unit.mnemonics[0], "SYST", "SYSTEM") &&
                          is(unit.mnemonics[1], "ERR", "ERROR") &&
                          (unit.mnemonics.size() == 2 || is(unit.mnemonics[2], "NEXT", "NEXT"));
    Require(pattern.Matches(unit.mnemonics) == expected,
            "a header matches exactly the short or long forms");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line = kx::fuzz::AsText(data, size);
  const ParsedLine parsed = kx::scpi::ParseLine(line);
  if (parsed.error) {
    Require(parsed.units.empty(), "no unit is kept with an error");
    Require(parsed.error->code < 0 && parsed.error->code > -500, "a standard error number");
    Require(kx::fuzz::IsOneLine(parsed.error->text), "an error text is one line");
    return 0;
  }
  for (const kx::scpi::Unit& unit : parsed.units) {
    Require(!unit.mnemonics.empty(), "a header has a mnemonic");
    Require(!unit.common || unit.mnemonics.size() == 1, "a common command has one mnemonic");
    for (const std::string& mnemonic : unit.mnemonics) {
      Require(IsMnemonic(mnemonic), "header mnemonics are 1-12 mnemonic characters");
    }
    for (const kx::scpi::Parameter& parameter : unit.parameters) {
      switch (parameter.kind) {
        case ParameterKind::Character:
          Require(IsMnemonic(parameter.text), "character data is a mnemonic");
          break;
        case ParameterKind::Decimal: {
          Require(std::isfinite(parameter.value), "numbers are finite");
          const double value = std::strtod(parameter.text.c_str(), nullptr);
          Require(value == parameter.value, "a decimal's value is its text's");
          break;
        }
        case ParameterKind::NonDecimal:
          Require(std::isfinite(parameter.value) && parameter.value >= 0,
                  "a #H, #B or #Q number is finite and not negative");
          break;
        case ParameterKind::String:
          break;
      }
    }
  }
  CheckHeaders(parsed);
  const std::string canonical = Canonical(parsed);
  if (canonical.size() <= kx::scpi::LongestLine) {
    Require(SameUnits(kx::scpi::ParseLine(canonical), parsed),
            "units written back parse to the same units");
  }
  return 0;
}
